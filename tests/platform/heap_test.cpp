// Heaps: the process heap counts its blocks, a private heap owns its blocks and frees them
// all at once, and injected failures reach out-of-memory paths.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {

TEST(Heaps, ZeroMemoryFlagClearsBlocks) {
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(heap, nullptr);
  for (int round = 0; round < 4; ++round) {
    unsigned char* block = (unsigned char*)HeapAlloc(heap, HEAP_ZERO_MEMORY, 4096);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
    std::fill(block, block + 4096, 0xAB);  // dirty memory that a later block may reuse
    HeapFree(heap, 0, block);
  }
  HeapDestroy(heap);
}

TEST(Heaps, DestroyFreesEveryBlockOfAPrivateHeap) {
  SIZE_T heapsBefore = PlatLivePrivateHeaps();
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(heap, nullptr);
  EXPECT_EQ(PlatLivePrivateHeaps(), heapsBefore + 1);
  for (int i = 1; i <= 100; ++i) ASSERT_NE(HeapAlloc(heap, 0, i), nullptr);
  EXPECT_EQ(PlatHeapLiveBlocks(heap), 100u);
  EXPECT_EQ(PlatHeapLiveBytes(heap), 5050u);
  EXPECT_TRUE(HeapDestroy(heap));
  EXPECT_EQ(PlatLivePrivateHeaps(), heapsBefore);
  EXPECT_EQ(PlatHeapLiveBlocks(heap), 0u);
  EXPECT_FALSE(HeapDestroy(heap));  // once only
  EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr);
  EXPECT_FALSE(HeapDestroy(GetProcessHeap()));
}

TEST(Heaps, FreeTakesOnlyBlocksOfThatHeap) {
  HANDLE process = GetProcessHeap();
  HANDLE heap = HeapCreate(0, 0, 0);
  SIZE_T before = PlatHeapLiveBlocks(process);
  void* block = HeapAlloc(process, 0, 16);
  EXPECT_EQ(PlatHeapLiveBlocks(process), before + 1);
  EXPECT_FALSE(HeapFree(heap, 0, block));  // not this heap's
  EXPECT_TRUE(HeapFree(process, 0, block));
  EXPECT_FALSE(HeapFree(process, 0, block));  // not twice
  EXPECT_TRUE(HeapFree(process, 0, nullptr));
  EXPECT_EQ(PlatHeapLiveBlocks(process), before);
  HeapDestroy(heap);
}

TEST(Heaps, InjectedFailuresComeAfterTheGivenSuccesses) {
  HANDLE heap = HeapCreate(0, 0, 0);
  PlatHeapFailAfter(2, 2);
  EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr);
  EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr);
  EXPECT_EQ(HeapAlloc(heap, 0, 8), nullptr);
  EXPECT_EQ(HeapCreate(0, 0, 0), nullptr);
  EXPECT_NE(HeapAlloc(heap, 0, 8), nullptr);  // the injection has run out
  PlatHeapFailAfter(0, 1000);
  EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, 8), nullptr);
  PlatHeapFailNone();
  void* block = HeapAlloc(GetProcessHeap(), 0, 8);
  EXPECT_NE(block, nullptr);
  HeapFree(GetProcessHeap(), 0, block);
  EXPECT_EQ(PlatHeapLiveBlocks(heap), 3u);
  HeapDestroy(heap);
}

TEST(Heaps, FixedSizeHeapRefusesToGrowPastItsMaximum) {
  HANDLE heap = HeapCreate(0, 0, 100);
  EXPECT_NE(HeapAlloc(heap, 0, 60), nullptr);
  EXPECT_EQ(HeapAlloc(heap, 0, 41), nullptr);
  EXPECT_NE(HeapAlloc(heap, 0, 40), nullptr);
  EXPECT_EQ(HeapAlloc(heap, 0, (SIZE_T)-1), nullptr);
  HeapDestroy(heap);
}

}  // namespace
