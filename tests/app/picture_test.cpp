// Picture loading: the program's pictures become DIB sections of their size; absent, foreign
// and damaged resources give none and leave nothing behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/app.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

struct NothingLeft {
  SIZE_T blocks = PlatHeapLiveBlocks(GetProcessHeap());
  size_t objects = PlatGdiLiveObjects();
  size_t dcs = PlatLiveDCs();
  void Check() const {
    EXPECT_EQ(PlatHeapLiveBlocks(GetProcessHeap()), blocks);
    EXPECT_EQ(PlatGdiLiveObjects(), objects);
    EXPECT_EQ(PlatLiveDCs(), dcs);
  }
};

std::vector<unsigned char> ResourceBytes(int id) {
  HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_RCDATA);
  const unsigned char* bytes = (const unsigned char*)LoadResource(nullptr, r);
  return std::vector<unsigned char>(bytes, bytes + SizeofResource(nullptr, r));
}

TEST(LoadPicture, SkinIsA32BitTopDownBitmapOfItsSize) {
  HBITMAP skin = AppLoadPicture(IDB_SKIN);
  ASSERT_NE(skin, nullptr);
  BITMAP info{};
  ASSERT_NE(GetObjectA(skin, sizeof info, &info), 0);
  EXPECT_EQ(info.bmWidth, 450);
  EXPECT_EQ(info.bmHeight, 212);
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_TRUE(DeleteObject(skin));
}

TEST(LoadPicture, AbsentForeignAndDamagedResourcesGiveNoneAndLeaveNothing) {
  std::vector<unsigned char> damaged = ResourceBytes(501);
  for (size_t i = 60; i < damaged.size() - 20; ++i) damaged[i] ^= 0x5A;  // the compressed data
  PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(951), "not a picture", 13);
  PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(952), damaged.data(), (DWORD)damaged.size());
  NothingLeft before;
  EXPECT_EQ(AppLoadPicture(950), nullptr);
  EXPECT_EQ(AppLoadPicture(951), nullptr);
  EXPECT_EQ(AppLoadPicture(952), nullptr);
  before.Check();
  PlatRemoveAddedResources();
}

TEST(LoadPicture, SameIdTwiceGivesTwoIndependentBitmaps) {
  HBITMAP first = AppLoadPicture(501);
  HBITMAP second = AppLoadPicture(501);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  BITMAP a{}, b{};
  GetObjectA(first, sizeof a, &a);
  GetObjectA(second, sizeof b, &b);
  ASSERT_NE(a.bmBits, b.bmBits);
  size_t bytes = (size_t)b.bmWidthBytes * b.bmHeight;
  std::vector<unsigned char> copy((unsigned char*)b.bmBits, (unsigned char*)b.bmBits + bytes);
  EXPECT_EQ(std::memcmp(a.bmBits, b.bmBits, bytes), 0);
  std::memset(a.bmBits, 0, bytes);
  EXPECT_TRUE(DeleteObject(first));
  EXPECT_EQ(std::memcmp(b.bmBits, copy.data(), bytes), 0);
  EXPECT_TRUE(DeleteObject(second));
}

}  // namespace
