#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <set>
#include <vector>

#include "platform/internal/platform.h"

namespace {

// A thread that waits for the test's word before it ends.
struct Gate {
  std::atomic<bool> open{false};
  std::atomic<DWORD> idInside{0};
  std::atomic<bool> finished{false};
};

DWORD WINAPI WaitAtGate(LPVOID parameter) {
  auto* gate = static_cast<Gate*>(parameter);
  gate->idInside = GetCurrentThreadId();
  while (!gate->open) Sleep(1);
  gate->finished = true;
  return 1234;
}

TEST(Threads, RunWaitAndTellTheirExitCode) {
  Gate gate;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);

  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);

  gate.open = true;
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(gate.idInside.load(), id);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 1234u);
  // A finished thread stays signalled.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, HandleMayBeClosedWhileTheThreadRuns) {
  // Under the address sanitizer this also shows that neither side leaks
  // when the handle goes first.
  // Outlives the test: with no handle there is nothing to wait on, and the
  // thread may still be returning when the test ends.
  static Gate gate;
  HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(CloseHandle(thread));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(thread, &code));
  gate.open = true;
  while (!gate.finished) Sleep(1);
}

DWORD WINAPI ReportStack(LPVOID parameter) {
  pthread_attr_t attributes;
  size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstacksize(&attributes, &size);
    pthread_attr_destroy(&attributes);
  }
  *static_cast<size_t*>(parameter) = size;
  return 0;
}

TEST(Threads, StackSizeIsTheDefaultOrAtLeastWhatWasAsked) {
  // Columns: requested size, smallest acceptable actual size.
  const struct {
    SIZE_T requested;
    size_t atLeast;
  } cases[] = {{0, 64 * 1024}, {1, 1}, {4 * 1024 * 1024, 4 * 1024 * 1024}};
  for (const auto& c : cases) {
    size_t actual = 0;
    HANDLE thread =
        CreateThread(nullptr, c.requested, ReportStack, &actual, 0, nullptr);
    ASSERT_NE(thread, nullptr) << c.requested;
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_GE(actual, c.atLeast) << c.requested;
    CloseHandle(thread);
  }
}

DWORD WINAPI ReportIdentity(LPVOID parameter) {
  auto* out = static_cast<DWORD*>(parameter);
  out[0] = GetCurrentThreadId();
  out[1] = GetCurrentThreadId();
  SetLastError(77);
  out[2] = GetLastError();
  return 0;
}

TEST(Threads, IdentifiersAndLastErrorBelongToEachThread) {
  const DWORD mine = GetCurrentThreadId();
  EXPECT_NE(mine, 0u);
  EXPECT_EQ(GetCurrentThreadId(), mine);
  SetLastError(5);

  std::set<DWORD> seen{mine};
  for (int i = 0; i < 8; ++i) {
    DWORD report[3] = {};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ReportIdentity, report, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(report[0], id);
    EXPECT_EQ(report[1], id);
    EXPECT_EQ(report[2], 77u);
    EXPECT_TRUE(seen.insert(id).second) << "identifier reused: " << id;
  }
  EXPECT_EQ(GetLastError(), 5u);
}

TEST(Threads, BadArgumentsAreRefused) {
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST(Time, SleepWaitsAtLeastAsLongAsAsked) {
  const DWORD before = GetTickCount();
  Sleep(30);
  const DWORD after = GetTickCount();
  EXPECT_GE(static_cast<DWORD>(after - before), 30u);
}

}  // namespace
