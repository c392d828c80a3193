// Threads: start, exit code, waiting with and without a time limit, closing the handle of a
// running thread, priorities.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {

std::atomic<int> gate{0};

DWORD WINAPI ReturnParameter(LPVOID parameter) { return (DWORD)(UINT_PTR)parameter; }

DWORD WINAPI WaitForGate(LPVOID) {
  while (gate.load() == 0) Sleep(1);
  return 7;
}

TEST(Threads, WaitReturnsWhenTheThreadEnds) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, (LPVOID)(UINT_PTR)42, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(CloseHandle(thread));
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
}

TEST(Threads, TimedWaitTimesOutWhileTheThreadRuns) {
  gate = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForGate, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  gate = 1;
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

TEST(Threads, ClosingTheHandleLetsTheThreadRunOn) {
  gate = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForGate, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  gate = 1;  // the detached thread finishes by itself
  Sleep(20);
}

TEST(Threads, SuspendedThreadStartsOnResume) {
  gate = 1;
  HANDLE thread = CreateThread(nullptr, 0, WaitForGate, nullptr, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

TEST(Threads, TimeCriticalPriorityIsAskedForAndNeverFails) {
  gate = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForGate, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  // Whether the OS grants it depends on the machine; the call succeeds either way.
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_NORMAL));
  EXPECT_FALSE(PlatThreadPriorityRaised(thread));
  gate = 1;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_FALSE(SetThreadPriority(nullptr, THREAD_PRIORITY_NORMAL));
}

TEST(Threads, SleepWaitsAtLeastTheTimeAsked) {
  DWORD start = GetTickCount();
  Sleep(30);
  EXPECT_GE(GetTickCount() - start, 29u);
}

}  // namespace
