// Threads, waiting, sleeping, time and the end of the process, over POSIX threads.
// A thread handle names a shared record that outlives the handle while the thread runs:
// CloseHandle lets a running thread go on (it is detached), as on Windows.
// The time-critical priority asks for SCHED_FIFO and, when refused, for the lowest nice
// value allowed; when both are refused the thread quietly keeps its normal priority.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

#include "platform/handle_table.h"
#include "platform/platform.h"
#include "platform/win32.h"

namespace {

struct PlatThreadState {
  std::mutex lock;
  std::condition_variable changed;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  bool released = true;  // false while created suspended
  bool finished = false;
  bool joined = false;
  bool detached = false;
  DWORD exitCode = 0;
  pid_t tid = 0;
  pthread_t thread{};
  int priority = THREAD_PRIORITY_NORMAL;
  bool raised = false;
};

struct PlatThread {
  std::shared_ptr<PlatThreadState> state;
};

PlatHandleTable<PlatThread>& PlatThreads() {
  static PlatHandleTable<PlatThread> table{PLAT_KIND_THREAD, {}, {}, {}};
  return table;
}

void* PlatThreadMain(void* argument) {
  // The thread holds its own reference, so closing the handle early is harmless.
  std::shared_ptr<PlatThreadState> state(*static_cast<std::shared_ptr<PlatThreadState>*>(argument));
  delete static_cast<std::shared_ptr<PlatThreadState>*>(argument);
  {
    std::unique_lock<std::mutex> guard(state->lock);
    state->tid = (pid_t)syscall(SYS_gettid);
    state->changed.notify_all();
    state->changed.wait(guard, [&] { return state->released; });
  }
  DWORD code = state->start(state->parameter);
  std::lock_guard<std::mutex> guard(state->lock);
  state->exitCode = code;
  state->finished = true;
  state->changed.notify_all();
  return nullptr;
}

std::shared_ptr<PlatThreadState> PlatThreadFromHandle(HANDLE handle) {
  PlatThread* thread = PlatHandleGet(PlatThreads(), PlatHandleNumber(handle));
  return thread ? thread->state : nullptr;
}

// Asks the OS for the highest priority it grants; true when something was raised.
bool PlatRaiseToTimeCritical(PlatThreadState& state) {
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO);
  if (pthread_setschedparam(state.thread, SCHED_FIFO, &param) == 0) return true;
  // Refused real time: the lowest nice value allowed, tried from the best down.
  for (int nice = -20; nice < 0; ++nice)
    if (setpriority(PRIO_PROCESS, (id_t)state.tid, nice) == 0) return true;
  return false;
}

void PlatLowerToNormal(PlatThreadState& state) {
  sched_param param{};
  pthread_setschedparam(state.thread, SCHED_OTHER, &param);
  setpriority(PRIO_PROCESS, (id_t)state.tid, 0);
}

PlatExitHook exitHook = nullptr;

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
  (void)attributes;
  if (start == nullptr) return nullptr;
  auto state = std::make_shared<PlatThreadState>();
  state->start = start;
  state->parameter = parameter;
  state->released = (creationFlags & CREATE_SUSPENDED) == 0;

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  if (stackSize) pthread_attr_setstacksize(&attr, stackSize < (SIZE_T)PTHREAD_STACK_MIN ? (SIZE_T)PTHREAD_STACK_MIN : stackSize);
  auto* argument = new std::shared_ptr<PlatThreadState>(state);
  int failed = pthread_create(&state->thread, &attr, PlatThreadMain, argument);
  pthread_attr_destroy(&attr);
  if (failed) {
    delete argument;
    return nullptr;
  }
  {
    std::unique_lock<std::mutex> guard(state->lock);
    state->changed.wait(guard, [&] { return state->tid != 0; });
    if (threadId) *threadId = (DWORD)state->tid;
  }
  DWORD number = PlatHandleAdd(PlatThreads(), std::make_unique<PlatThread>(PlatThread{state}));
  return PlatHandleFromNumber<HANDLE>(number);
}

DWORD ResumeThread(HANDLE thread) {
  std::shared_ptr<PlatThreadState> state = PlatThreadFromHandle(thread);
  if (!state) return (DWORD)-1;
  std::lock_guard<std::mutex> guard(state->lock);
  DWORD previous = state->released ? 0 : 1;
  state->released = true;
  state->changed.notify_all();
  return previous;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
  std::shared_ptr<PlatThreadState> state = PlatThreadFromHandle(thread);
  if (!state) return FALSE;
  std::lock_guard<std::mutex> guard(state->lock);
  if (state->finished) return TRUE;
  state->priority = priority;
  if (priority >= THREAD_PRIORITY_TIME_CRITICAL) {
    state->raised = PlatRaiseToTimeCritical(*state);
  } else if (state->raised) {
    PlatLowerToNormal(*state);
    state->raised = false;
  }
  return TRUE;
}

int GetThreadPriority(HANDLE thread) {
  std::shared_ptr<PlatThreadState> state = PlatThreadFromHandle(thread);
  if (!state) return 0x7FFFFFFF;
  std::lock_guard<std::mutex> guard(state->lock);
  return state->priority;
}

BOOL PlatThreadPriorityRaised(HANDLE thread) {
  std::shared_ptr<PlatThreadState> state = PlatThreadFromHandle(thread);
  if (!state) return FALSE;
  std::lock_guard<std::mutex> guard(state->lock);
  return state->raised;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  std::shared_ptr<PlatThreadState> state = PlatThreadFromHandle(object);
  if (!state) return WAIT_FAILED;
  std::unique_lock<std::mutex> guard(state->lock);
  auto finished = [&] { return state->finished; };
  if (milliseconds == INFINITE)
    state->changed.wait(guard, finished);
  else if (!state->changed.wait_for(guard, std::chrono::milliseconds(milliseconds), finished))
    return WAIT_TIMEOUT;
  if (!state->joined && !state->detached) {
    state->joined = true;
    guard.unlock();
    pthread_join(state->thread, nullptr);  // it has returned; this only reaps it
  }
  return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE object) {
  std::unique_ptr<PlatThread> thread = PlatHandleTake(PlatThreads(), PlatHandleNumber(object));
  if (!thread) return FALSE;
  std::lock_guard<std::mutex> guard(thread->state->lock);
  if (!thread->state->joined) {
    thread->state->detached = true;
    pthread_detach(thread->state->thread);
  }
  return TRUE;
}

void Sleep(DWORD milliseconds) {
  timespec wanted{(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wanted, &wanted) != 0 && errno == EINTR) {
  }
}

DWORD GetTickCount(void) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (DWORD)((uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
}

void PlatSetExitHook(PlatExitHook hook) { exitHook = hook; }

void ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  if (exitHook) exitHook(exitCode);
  std::exit((int)exitCode);
}
