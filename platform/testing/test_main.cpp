// The main of every test executable: GoogleTest, plus two things each test
// gets without asking. A watchdog ends the process when one test runs too
// long, naming it, so a hang fails instead of stalling the suite; and each
// test runs in a system root of its own, so no test sees another's registry
// or windows. The platform's test records are reset between tests. Every
// test runs on the headless driver, even on a desktop with a display, so a
// test gives the same answer wherever it runs; tests of a display driver
// bring their own main.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "vttest.h"

namespace {

// One thread for the whole run, armed at each test's start and disarmed at
// its end.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : limit_(limit), thread_([this] { Run(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  void Arm(std::string name) {
    {
      std::lock_guard lock(mutex_);
      name_ = std::move(name);
      deadline_ = std::chrono::steady_clock::now() + limit_;
      armed_ = true;
    }
    changed_.notify_all();
  }
  void Disarm() {
    {
      std::lock_guard lock(mutex_);
      armed_ = false;
    }
    changed_.notify_all();
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (!armed_) {
        changed_.wait(lock);
        continue;
      }
      if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout &&
          armed_ && std::chrono::steady_clock::now() >= deadline_) {
        std::fprintf(stderr, "\n%s: watchdog expired after %lld s\n",
                     name_.c_str(), static_cast<long long>(limit_.count()));
        std::fflush(nullptr);
        _exit(1);
      }
    }
  }

  const std::chrono::seconds limit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool stopping_ = false;
  std::string name_;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};

std::chrono::seconds WatchdogLimit() {
  if (const char* text = std::getenv("VT_TEST_WATCHDOG_SECONDS")) {
    const long seconds = std::strtol(text, nullptr, 10);
    if (seconds > 0) return std::chrono::seconds(seconds);
  }
  return std::chrono::seconds(60);
}

class PerTestSetup : public ::testing::EmptyTestEventListener {
 public:
  explicit PerTestSetup(Watchdog& watchdog) : watchdog_(watchdog) {}

  void OnTestStart(const ::testing::TestInfo& test) override {
    watchdog_.Arm(std::string(test.test_suite_name()) + "." + test.name());
    root_ = std::make_unique<vt::testing::ScopedSystemRoot>();
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    vt::testing::Reset();
    root_.reset();
    watchdog_.Disarm();
  }

 private:
  Watchdog& watchdog_;
  std::unique_ptr<vt::testing::ScopedSystemRoot> root_;
};

}  // namespace

int main(int argc, char** argv) {
  // Before anything can start the driver; child processes inherit it. A
  // test that runs itself as a child to try the choice of driver says so.
  if (!std::getenv("VT_TEST_KEEP_DRIVER"))
    setenv("VELLUMTIDE_DRIVER", "null", 1);
  ::testing::InitGoogleTest(&argc, argv);
  Watchdog watchdog(WatchdogLimit());
  // The listener list owns what it is given.
  ::testing::UnitTest::GetInstance()->listeners().Append(
      std::make_unique<PerTestSetup>(watchdog).release());
  const int result = RUN_ALL_TESTS();
  std::fflush(nullptr);
  return result;
}
