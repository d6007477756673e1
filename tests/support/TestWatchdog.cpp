#include "TestWatchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

// The watching thread and its state live until the program ends: gtest
// destroys its listeners at exit, while the thread may still wait.
class Watchdog {
 public:
  explicit Watchdog(int seconds) : limit_(seconds) { std::thread([this] { Run(); }).detach(); }

  void Arm(std::string test) {
    std::lock_guard l(m_);
    current_ = std::move(test);
    deadline_ = std::chrono::steady_clock::now() + limit_;
    armed_ = true;
    cv_.notify_all();
  }
  void Disarm() {
    std::lock_guard l(m_);
    armed_ = false;
    cv_.notify_all();
  }

 private:
  void Run() {
    std::unique_lock l(m_);
    for (;;) {
      if (!armed_) {
        cv_.wait(l);
        continue;
      }
      const auto deadline = deadline_;
      if (cv_.wait_until(l, deadline) == std::cv_status::timeout && armed_ && deadline_ == deadline) {
        std::fprintf(stderr, "\nWATCHDOG: %s is still running after %lld s; ending the test program\n",
                     current_.c_str(), static_cast<long long>(limit_.count()));
        std::fflush(stderr);
        std::_Exit(3);
      }
    }
  }

  std::chrono::seconds limit_;
  std::mutex m_;
  std::condition_variable cv_;
  bool armed_ = false;
  std::chrono::steady_clock::time_point deadline_{};
  std::string current_;
};

class Listener : public ::testing::EmptyTestEventListener {
 public:
  explicit Listener(Watchdog* watchdog) : watchdog_(watchdog) {}
  void OnTestStart(const ::testing::TestInfo& info) override {
    watchdog_->Arm(std::string(info.test_suite_name()) + "." + info.name());
  }
  void OnTestEnd(const ::testing::TestInfo&) override { watchdog_->Disarm(); }

 private:
  Watchdog* watchdog_;
};

}  // namespace

void InstallTestWatchdog(int seconds) {
  if (const char* s = std::getenv("ZOV_TEST_WATCHDOG_S")) seconds = std::atoi(s) > 0 ? std::atoi(s) : seconds;
  static Watchdog* const watchdog = new Watchdog(seconds);
  ::testing::UnitTest::GetInstance()->listeners().Append(new Listener(watchdog));
}
