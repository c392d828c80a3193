// The embedded resources: every resource the program uses is there, in the right type,
// size and format, and the lookups behave as the program and the tests rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {

struct Found {
  const unsigned char* bytes;
  DWORD size;
};

Found Find(LPCSTR type, int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC r = FindResourceA(module, MAKEINTRESOURCEA(id), type);
  if (!r) return {nullptr, 0};
  return {(const unsigned char*)LockResource(LoadResource(module, r)), SizeofResource(module, r)};
}

uint32_t Le16(const unsigned char* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const unsigned char* p) { return Le16(p) | Le16(p + 2) << 16; }
uint32_t Be32(const unsigned char* p) { return (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

std::string Wide(const unsigned char*& p) {
  std::string s;
  for (; Le16(p); p += 2) s += (char)Le16(p);
  p += 2;
  return s;
}

TEST(EmbeddedResources, PicturesArePngsOfTheirSizeAndKind) {
  struct Picture {
    int id;
    uint32_t width, height;
    int colourType;
  };
  const Picture pictures[] = {{500, 450, 212, 6}, {501, 227, 27, 2}, {502, 227, 27, 2}, {503, 227, 27, 2},
                              {601, 20, 20, 2},   {602, 20, 20, 2},  {603, 20, 20, 2},  {701, 20, 20, 2},
                              {702, 20, 20, 2},   {703, 20, 20, 2}};
  for (const Picture& p : pictures) {
    SCOPED_TRACE(p.id);
    Found f = Find(RT_RCDATA, p.id);
    ASSERT_NE(f.bytes, nullptr);
    ASSERT_GE(f.size, 33u);
    EXPECT_EQ(std::memcmp(f.bytes, "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(std::memcmp(f.bytes + 12, "IHDR", 4), 0);
    EXPECT_EQ(Be32(f.bytes + 16), p.width);
    EXPECT_EQ(Be32(f.bytes + 20), p.height);
    EXPECT_EQ(f.bytes[24], 8);  // bit depth
    EXPECT_EQ(f.bytes[25], p.colourType);
  }
}

TEST(EmbeddedResources, ModuleIsAnXmAndManifestNamesCommonControls) {
  Found xm = Find(RT_RCDATA, 400);
  ASSERT_NE(xm.bytes, nullptr);
  ASSERT_GT(xm.size, 336u);
  EXPECT_EQ(std::memcmp(xm.bytes, "Extended Module: ", 17), 0);

  Found manifest = Find(RT_MANIFEST, 1);
  ASSERT_NE(manifest.bytes, nullptr);
  std::string text((const char*)manifest.bytes, manifest.size);
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST(EmbeddedResources, DialogTemplateDecodesToTheMainWindow) {
  Found d = Find(RT_DIALOG, 100);
  ASSERT_NE(d.bytes, nullptr);
  const unsigned char* p = d.bytes;
  EXPECT_EQ(Le16(p), 1u);          // version
  EXPECT_EQ(Le16(p + 2), 0xFFFFu);  // extended template
  EXPECT_EQ(Le32(p + 8), 0x8u);     // WS_EX_TOPMOST
  // WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_CENTER | DS_CONTROL | DS_SETFONT
  EXPECT_EQ(Le32(p + 12), 0x80000000u | 0x10000000u | 0x00C00000u | 0x800u | 0x400u | 0x40u);
  EXPECT_EQ(Le16(p + 16), 0u);  // no controls
  EXPECT_EQ(Le16(p + 18), 0u);
  EXPECT_EQ(Le16(p + 20), 0u);
  EXPECT_EQ(Le16(p + 22), 300u);
  EXPECT_EQ(Le16(p + 24), 130u);
  p += 26;
  EXPECT_EQ(Le16(p), 0u);  // no menu
  EXPECT_EQ(Le16(p + 2), 0u);  // standard class
  p += 4;
  EXPECT_EQ(Wide(p), "");  // empty title
  EXPECT_EQ(Le16(p), 8u);      // points
  EXPECT_EQ(Le16(p + 2), 0u);  // weight
  EXPECT_EQ(p[4], 0);          // not italic
  EXPECT_EQ(p[5], 1);          // character set
  p += 6;
  EXPECT_EQ(Wide(p), "MS Sans Serif");
  EXPECT_EQ(p, d.bytes + d.size);
}

TEST(EmbeddedResources, IconGroupHoldsOne48PixelTrueColourImage) {
  Found group = Find(RT_GROUP_ICON, 200);
  ASSERT_NE(group.bytes, nullptr);
  ASSERT_EQ(group.size, 6u + 14u);
  EXPECT_EQ(Le16(group.bytes + 2), 1u);  // icon
  EXPECT_EQ(Le16(group.bytes + 4), 1u);  // one image
  const unsigned char* e = group.bytes + 6;
  EXPECT_EQ(e[0], 48);
  EXPECT_EQ(e[1], 48);
  EXPECT_EQ(Le16(e + 6), 32u);
  Found image = Find(RT_ICON, Le16(e + 12));
  ASSERT_NE(image.bytes, nullptr);
  EXPECT_EQ(image.size, Le32(e + 8));
  EXPECT_EQ(Le32(image.bytes), 40u);
  EXPECT_EQ((int32_t)Le32(image.bytes + 4), 48);
  EXPECT_EQ((int32_t)Le32(image.bytes + 8), 96);  // colour image and mask
  EXPECT_EQ(Le16(image.bytes + 14), 32u);
  EXPECT_GE(image.size, 40u + 48u * 48u * 4u + 48u * 8u);
}

TEST(EmbeddedResources, CursorGroupHoldsA32Pixel24BitArrowWithItsHotSpot) {
  Found group = Find(RT_GROUP_CURSOR, 300);
  ASSERT_NE(group.bytes, nullptr);
  ASSERT_EQ(group.size, 6u + 14u);
  EXPECT_EQ(Le16(group.bytes + 2), 2u);  // cursor
  const unsigned char* e = group.bytes + 6;
  EXPECT_EQ(Le16(e), 32u);
  EXPECT_EQ(Le16(e + 2), 64u);
  EXPECT_EQ(Le16(e + 6), 24u);
  Found image = Find(RT_CURSOR, Le16(e + 12));
  ASSERT_NE(image.bytes, nullptr);
  EXPECT_EQ(Le16(image.bytes), 1u);  // hot spot
  EXPECT_EQ(Le16(image.bytes + 2), 1u);
  EXPECT_EQ(Le32(image.bytes + 4), 40u);
  EXPECT_EQ((int32_t)Le32(image.bytes + 8), 32);
  EXPECT_EQ(Le16(image.bytes + 18), 24u);
}

TEST(Resources, AbsentOnesAreNoneAndLookupsAreSafe) {
  HMODULE module = GetModuleHandleA(nullptr);
  EXPECT_NE(module, nullptr);
  EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
  EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(499), RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(500), RT_ICON), nullptr);
  EXPECT_EQ(FindResourceA(module, "NOSUCH", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(module, nullptr, RT_RCDATA), nullptr);
  EXPECT_EQ(LoadResource(module, nullptr), nullptr);
  EXPECT_EQ(SizeofResource(module, nullptr), 0u);
  EXPECT_EQ(LoadResource(module, (HRSRC)(UINT_PTR)0x7FFFFFFF), nullptr);
  EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(500), RT_RCDATA), nullptr);  // NULL is this module
  EXPECT_NE(FindResourceA(module, "#500", RT_RCDATA), nullptr);
}

TEST(Resources, AddedOnesHideEmbeddedOnesUntilRemoved) {
  HMODULE module = GetModuleHandleA(nullptr);
  const char bytes[] = "abc";
  ASSERT_TRUE(PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(500), bytes, 3));
  ASSERT_TRUE(PlatAddResource(RT_RCDATA, "Named", bytes, 2));
  ASSERT_TRUE(PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(900), nullptr, 0));

  HRSRC skin = FindResourceA(module, MAKEINTRESOURCEA(500), RT_RCDATA);
  EXPECT_EQ(SizeofResource(module, skin), 3u);
  EXPECT_EQ(std::memcmp(LoadResource(module, skin), "abc", 3), 0);
  EXPECT_NE(LoadResource(module, skin), (HGLOBAL)bytes);  // a copy
  EXPECT_EQ(SizeofResource(module, FindResourceA(module, "named", RT_RCDATA)), 2u);
  HRSRC empty = FindResourceA(module, MAKEINTRESOURCEA(900), RT_RCDATA);
  EXPECT_NE(LoadResource(module, empty), nullptr);
  EXPECT_EQ(SizeofResource(module, empty), 0u);

  PlatRemoveAddedResources();
  EXPECT_GT(SizeofResource(module, FindResourceA(module, MAKEINTRESOURCEA(500), RT_RCDATA)), 3u);
  EXPECT_EQ(FindResourceA(module, "Named", RT_RCDATA), nullptr);
  EXPECT_FALSE(PlatAddResource(nullptr, MAKEINTRESOURCEA(1), bytes, 1));
}

}  // namespace
