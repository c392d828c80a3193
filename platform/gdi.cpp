// GDI objects: device contexts, DIB sections and brushes, kept in two handle tables.
//
// A DIB section's rows are padded to a multiple of 4 bytes; sub-byte pixels are packed
// leftmost first in the high bits; 24- and 32-bit pixels are blue, green, red (and a byte
// the GDI ignores). A negative biHeight means the first row in memory is the top row. The
// colour table follows the header at biSize bytes and has biClrUsed entries, or 2^bits
// when biClrUsed is 0.
#include <cstring>
#include <new>

#include "platform/gdi_internal.h"
#include "platform/headless.h"

namespace {

// Refuse pictures whose pixel memory would exceed this: no picture of ours comes near, and a
// bogus header must not turn into an enormous allocation.
constexpr uint64_t kMaxDibBytes = 256u << 20;

PlatHandleTable<PlatGdiObject> gObjects{PLAT_KIND_GDI, {}, {}, {}};
PlatHandleTable<PlatDc> gDcs{PLAT_KIND_DC, {}, {}, {}};

bool PlatDibBitCountValid(WORD bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
}

void PlatDibCopyColors(PlatBitmap& bitmap, const BITMAPINFO* info) {
  if (bitmap.bitCount > 8) return;
  DWORD capacity = 1u << bitmap.bitCount;
  DWORD count = info->bmiHeader.biClrUsed;
  if (count == 0 || count > capacity) count = capacity;
  const BYTE* table = (const BYTE*)info + info->bmiHeader.biSize;
  std::memcpy(bitmap.colors, table, count * sizeof(RGBQUAD));
}

}  // namespace

PlatHandleTable<PlatGdiObject>& PlatGdiObjects() { return gObjects; }
PlatHandleTable<PlatDc>& PlatDcs() { return gDcs; }

PlatGdiObject* PlatGdiGet(HGDIOBJ object, PlatGdiType type) {
  PlatGdiObject* found = PlatHandleGet(gObjects, PlatHandleNumber(object));
  return found && found->type == type ? found : nullptr;
}

PlatDc* PlatDcGet(HDC dc) { return PlatHandleGet(gDcs, PlatHandleNumber(dc)); }

HDC PlatDcCreate(DWORD window, bool paint) {
  auto dc = std::make_unique<PlatDc>();
  dc->window = window;
  dc->paint = paint;
  return PlatHandleFromNumber<HDC>(PlatHandleAdd(gDcs, std::move(dc)));
}

BOOL PlatDcDelete(HDC dc) { return PlatHandleTake(gDcs, PlatHandleNumber(dc)) ? TRUE : FALSE; }

HDC GetDC(HWND window) { return PlatDcCreate(PlatHandleNumber(window), false); }

int ReleaseDC(HWND, HDC dc) {
  PlatDc* record = PlatDcGet(dc);
  if (!record || record->paint) return 0;
  return PlatDcDelete(dc);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biCompression != BI_RGB ||
      !PlatDibBitCountValid(header.biBitCount) || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biHeight == INT32_MIN)
    return nullptr;

  uint64_t stride = (((uint64_t)header.biWidth * header.biBitCount + 31) / 32) * 4;
  uint64_t height = header.biHeight < 0 ? -(int64_t)header.biHeight : header.biHeight;
  if (stride * height > kMaxDibBytes) return nullptr;

  auto object = std::make_unique<PlatGdiObject>();
  object->type = PLAT_GDI_BITMAP;
  PlatBitmap& bitmap = object->bitmap;
  bitmap.width = header.biWidth;
  bitmap.height = (LONG)height;
  bitmap.bitCount = header.biBitCount;
  bitmap.topDown = header.biHeight < 0;
  bitmap.stride = (LONG)stride;
  bitmap.header = header;
  bitmap.header.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.header.biSizeImage = (DWORD)(stride * height);
  std::memset(bitmap.colors, 0, sizeof bitmap.colors);
  PlatDibCopyColors(bitmap, info);
  bitmap.pixels.reset(new (std::nothrow) BYTE[stride * height]());
  if (!bitmap.pixels) return nullptr;

  void* memory = bitmap.pixels.get();
  DWORD number = PlatHandleAdd(gObjects, std::move(object));
  if (number == 0) return nullptr;
  if (bits) *bits = memory;
  return PlatHandleFromNumber<HBITMAP>(number);
}

BOOL DeleteObject(HGDIOBJ object) { return PlatHandleTake(gObjects, PlatHandleNumber(object)) ? TRUE : FALSE; }

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
  PlatGdiObject* found = PlatGdiGet(object, PLAT_GDI_BITMAP);
  if (!found) return 0;
  const PlatBitmap& bitmap = found->bitmap;
  if (!buffer) return sizeof(BITMAP);
  if (size < (int)sizeof(BITMAP)) return 0;

  BITMAP info{};
  info.bmType = 0;
  info.bmWidth = bitmap.width;
  info.bmHeight = bitmap.height;
  info.bmWidthBytes = bitmap.stride;
  info.bmPlanes = 1;
  info.bmBitsPixel = bitmap.bitCount;
  info.bmBits = bitmap.pixels.get();
  if (size < (int)sizeof(DIBSECTION)) {
    std::memcpy(buffer, &info, sizeof info);
    return sizeof(BITMAP);
  }
  DIBSECTION section{};
  section.dsBm = info;
  section.dsBmih = bitmap.header;
  std::memcpy(buffer, &section, sizeof section);
  return sizeof(DIBSECTION);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto object = std::make_unique<PlatGdiObject>();
  object->type = PLAT_GDI_BRUSH;
  object->brush.color = color & 0xFFFFFF;
  return PlatHandleFromNumber<HBRUSH>(PlatHandleAdd(gObjects, std::move(object)));
}

HBRUSH CreatePatternBrush(HBITMAP bitmapHandle) {
  PlatGdiObject* source = PlatGdiGet(bitmapHandle, PLAT_GDI_BITMAP);
  if (!source) return nullptr;
  const PlatBitmap& bitmap = source->bitmap;
  auto object = std::make_unique<PlatGdiObject>();
  object->type = PLAT_GDI_BRUSH;
  PlatBrush& brush = object->brush;
  brush.pattern = true;
  brush.width = bitmap.width;
  brush.height = bitmap.height;
  brush.tile.resize((size_t)bitmap.width * bitmap.height);
  for (LONG y = 0; y < bitmap.height; ++y)
    for (LONG x = 0; x < bitmap.width; ++x) brush.tile[(size_t)y * bitmap.width + x] = PlatBitmapPixel(bitmap, x, y);
  return PlatHandleFromNumber<HBRUSH>(PlatHandleAdd(gObjects, std::move(object)));
}

// System colours of a plain light desktop theme; only the face and window colours are used.
DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    default: return RGB(0, 0, 0);
  }
}

// System colour brushes are the colour index + 1, as a class background names them; they
// are not objects of the table and DeleteObject leaves them alone.
HBRUSH GetSysColorBrush(int index) {
  return index >= 0 && index < 31 ? (HBRUSH)(UINT_PTR)(index + 1) : nullptr;
}

DWORD PlatBitmapPixel(const PlatBitmap& bitmap, LONG x, LONG y) {
  LONG row = bitmap.topDown ? y : bitmap.height - 1 - y;
  const BYTE* line = bitmap.pixels.get() + (size_t)row * bitmap.stride;
  switch (bitmap.bitCount) {
    case 24:
    case 32: {
      const BYTE* p = line + (size_t)x * (bitmap.bitCount / 8);
      return (DWORD)p[2] << 16 | (DWORD)p[1] << 8 | p[0];
    }
    default: {
      int perByte = 8 / bitmap.bitCount;
      int shift = 8 - bitmap.bitCount * (x % perByte + 1);
      BYTE index = (line[x / perByte] >> shift) & ((1 << bitmap.bitCount) - 1);
      const RGBQUAD& c = bitmap.colors[index];
      return (DWORD)c.rgbRed << 16 | (DWORD)c.rgbGreen << 8 | c.rgbBlue;
    }
  }
}

size_t PlatGdiLiveObjects(void) {
  size_t count = 0;
  PlatHandleForEach(gObjects, [&](DWORD, PlatGdiObject&) { ++count; });
  return count;
}

size_t PlatLiveDCs(void) {
  size_t count = 0;
  PlatHandleForEach(gDcs, [&](DWORD, PlatDc&) { ++count; });
  return count;
}
