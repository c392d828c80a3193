// DIB sections, device contexts and GDI object lifetimes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gdi_internal.h"
#include "platform/headless.h"
#include "platform/win32.h"

namespace {

// A BITMAPINFO in a buffer sized exactly for `colors` table entries, so that reading past
// the table shows up under the address sanitizer.
struct DibInfo {
  std::vector<BYTE> bytes;
  explicit DibInfo(LONG width, LONG height, WORD bits, DWORD colors = 0) {
    bytes.resize(sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD));
    BITMAPINFOHEADER& h = header();
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
  }
  BITMAPINFOHEADER& header() { return *(BITMAPINFOHEADER*)bytes.data(); }
  RGBQUAD* colors() { return (RGBQUAD*)(bytes.data() + sizeof(BITMAPINFOHEADER)); }
  const BITMAPINFO* info() { return (const BITMAPINFO*)bytes.data(); }
};

RGBQUAD Quad(BYTE r, BYTE g, BYTE b) { return RGBQUAD{b, g, r, 0}; }

const PlatBitmap& BitmapOf(HBITMAP bitmap) {
  PlatGdiObject* object = PlatGdiGet(bitmap, PLAT_GDI_BITMAP);
  EXPECT_NE(object, nullptr);
  return object->bitmap;
}

TEST(Gdi, DibSectionLayoutForEveryDepthAndOrientation) {
  struct Case {
    WORD bits;
    LONG width;
    LONG stride;
  };
  const Case cases[] = {{1, 33, 8}, {4, 9, 8}, {8, 5, 8}, {24, 3, 12}, {32, 3, 12}};
  for (const Case& c : cases) {
    for (LONG sign : {-1, 1}) {
      SCOPED_TRACE(testing::Message() << c.bits << " bits, height " << sign * 7);
      DibInfo dib(c.width, sign * 7, c.bits, c.bits <= 8 ? 1u << c.bits : 0);
      HDC dc = GetDC(nullptr);
      void* bits = nullptr;
      HBITMAP bitmap = CreateDIBSection(dc, dib.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
      ReleaseDC(nullptr, dc);
      ASSERT_NE(bitmap, nullptr);
      ASSERT_NE(bits, nullptr);
      std::vector<BYTE> zero(c.stride * 7, 0);
      EXPECT_EQ(std::memcmp(bits, zero.data(), zero.size()), 0) << "pixel memory starts zeroed";

      BITMAP info{};
      EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), (int)sizeof info);
      EXPECT_EQ(info.bmWidth, c.width);
      EXPECT_EQ(info.bmHeight, 7);
      EXPECT_EQ(info.bmWidthBytes, c.stride);
      EXPECT_EQ(info.bmPlanes, 1);
      EXPECT_EQ(info.bmBitsPixel, c.bits);
      EXPECT_EQ(info.bmBits, bits);

      DIBSECTION section{};
      EXPECT_EQ(GetObjectA(bitmap, sizeof section, &section), (int)sizeof section);
      EXPECT_EQ(section.dsBmih.biHeight, sign * 7) << "the header keeps its orientation";
      EXPECT_EQ(section.dsBmih.biSizeImage, (DWORD)(c.stride * 7));
      EXPECT_EQ(section.dsBm.bmBits, bits);
      EXPECT_TRUE(DeleteObject(bitmap));
    }
  }
}

TEST(Gdi, PixelsReadThroughColourTableAndOrientation) {
  // 1 bit: leftmost pixel in the high bit.
  DibInfo mono(9, -2, 1, 2);
  mono.colors()[0] = Quad(255, 0, 0);
  mono.colors()[1] = Quad(0, 0, 255);
  BYTE* bits = nullptr;
  HBITMAP one = CreateDIBSection(nullptr, mono.info(), DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  ASSERT_NE(one, nullptr);
  bits[0] = 0x80;
  bits[1] = 0x80;  // pixel 8 of the top row
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(one), 0, 0), 0x0000FFu);
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(one), 1, 0), 0xFF0000u);
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(one), 8, 0), 0x0000FFu);
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(one), 0, 1), 0xFF0000u);

  // 4 bits, bottom-up: the first row in memory is the bottom row.
  DibInfo nibble(2, 2, 4, 16);
  nibble.colors()[3] = Quad(1, 2, 3);
  nibble.colors()[10] = Quad(4, 5, 6);
  HBITMAP four = CreateDIBSection(nullptr, nibble.info(), DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  ASSERT_NE(four, nullptr);
  bits[0] = 0x3A;
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(four), 0, 1), 0x010203u);
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(four), 1, 1), 0x040506u);
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(four), 0, 0), 0u);

  // 24 and 32 bits: blue, green, red in memory.
  DibInfo rgb(2, -1, 24);
  HBITMAP three = CreateDIBSection(nullptr, rgb.info(), DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  ASSERT_NE(three, nullptr);
  const BYTE pixels[] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  std::memcpy(bits, pixels, sizeof pixels);
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(three), 1, 0), 0x605040u);
  DibInfo rgba(1, 1, 32);
  HBITMAP quad = CreateDIBSection(nullptr, rgba.info(), DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  ASSERT_NE(quad, nullptr);
  const BYTE pixel[] = {0x01, 0x02, 0x03, 0x80};
  std::memcpy(bits, pixel, sizeof pixel);
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(quad), 0, 0), 0x030201u) << "the fourth byte is not colour";

  for (HBITMAP b : {one, four, three, quad}) EXPECT_TRUE(DeleteObject(b));
}

TEST(Gdi, ColourTableReadsOnlyTheEntriesItHas) {
  // biClrUsed 2 on an 8-bit bitmap: the info block has two entries and no more is read.
  DibInfo used(1, 1, 8, 2);
  used.header().biClrUsed = 2;
  used.colors()[1] = Quad(9, 8, 7);
  BYTE* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, used.info(), DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  bits[0] = 1;
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(bitmap), 0, 0), 0x090807u);
  bits[0] = 200;
  EXPECT_EQ(PlatBitmapPixel(BitmapOf(bitmap), 0, 0), 0u) << "an index past the table is black";
  EXPECT_TRUE(DeleteObject(bitmap));

  // biClrUsed larger than the depth allows is cut to 2^bits (16 here).
  DibInfo many(1, 1, 4, 16);
  many.header().biClrUsed = 4000;
  bitmap = CreateDIBSection(nullptr, many.info(), DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(Gdi, InvalidDibSectionsMakeNothing) {
  struct Case {
    const char* what;
    void (*spoil)(DibInfo&, UINT& usage, HANDLE& section);
  };
  const Case cases[] = {
      {"16 bits", [](DibInfo& d, UINT&, HANDLE&) { d.header().biBitCount = 16; }},
      {"2 bits", [](DibInfo& d, UINT&, HANDLE&) { d.header().biBitCount = 2; }},
      {"bit fields", [](DibInfo& d, UINT&, HANDLE&) { d.header().biCompression = 3; }},
      {"two planes", [](DibInfo& d, UINT&, HANDLE&) { d.header().biPlanes = 2; }},
      {"zero width", [](DibInfo& d, UINT&, HANDLE&) { d.header().biWidth = 0; }},
      {"negative width", [](DibInfo& d, UINT&, HANDLE&) { d.header().biWidth = -4; }},
      {"zero height", [](DibInfo& d, UINT&, HANDLE&) { d.header().biHeight = 0; }},
      {"short header", [](DibInfo& d, UINT&, HANDLE&) { d.header().biSize = 12; }},
      {"huge", [](DibInfo& d, UINT&, HANDLE&) { d.header().biWidth = d.header().biHeight = 0x7FFFFFFF; }},
      {"lowest height", [](DibInfo& d, UINT&, HANDLE&) { d.header().biHeight = INT32_MIN; }},
      {"palette indices", [](DibInfo&, UINT& usage, HANDLE&) { usage = DIB_PAL_COLORS; }},
      {"file mapping", [](DibInfo&, UINT&, HANDLE& section) { section = (HANDLE)1; }},
  };
  size_t live = PlatGdiLiveObjects();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DibInfo dib(4, 4, 32);
    UINT usage = DIB_RGB_COLORS;
    HANDLE section = nullptr;
    c.spoil(dib, usage, section);
    void* bits = (void*)&dib;
    EXPECT_EQ(CreateDIBSection(nullptr, dib.info(), usage, &bits, section, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(PlatGdiLiveObjects(), live);
}

TEST(Gdi, DeleteObjectFreesOnceAndForgetsTheHandle) {
  size_t live = PlatGdiLiveObjects();
  DibInfo dib(16, 16, 32);
  HBITMAP bitmap = CreateDIBSection(nullptr, dib.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_NE(bitmap, nullptr) << "the bits pointer is optional";
  EXPECT_EQ(PlatGdiLiveObjects(), live + 1);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_EQ(PlatGdiLiveObjects(), live);
  EXPECT_FALSE(DeleteObject(bitmap));
  BITMAP info{};
  EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), 0);
  EXPECT_FALSE(DeleteObject(nullptr));
}

TEST(Gdi, GetObjectSizes) {
  DibInfo dib(2, 2, 24);
  HBITMAP bitmap = CreateDIBSection(nullptr, dib.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), (int)sizeof(BITMAP));
  BITMAP info{};
  EXPECT_EQ(GetObjectA(bitmap, sizeof info - 1, &info), 0);
  EXPECT_EQ(info.bmWidth, 0) << "a buffer too small is not written";
  EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(Gdi, DeviceContextsOfScreenAndWindowsBalance) {
  size_t live = PlatLiveDCs();
  HDC screen = GetDC(nullptr);
  HDC window = GetDC(PlatHandleFromNumber<HWND>(0x06000001));
  ASSERT_NE(screen, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_NE(screen, window);
  EXPECT_EQ(PlatLiveDCs(), live + 2);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 0) << "released twice";
  EXPECT_EQ(ReleaseDC(nullptr, window), 1);
  EXPECT_EQ(PlatLiveDCs(), live);
}

}  // namespace
