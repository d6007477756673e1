#pragma once
// Ends the test program when a test hangs, so a deadlock fails the run
// instead of blocking it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
 public:
  explicit Watchdog(std::string what, std::chrono::milliseconds limit = std::chrono::seconds(20))
      : what_(std::move(what)), thread_([this, limit] {
          std::unique_lock l(m_);
          if (!cv_.wait_for(l, limit, [this] { return done_; })) {
            std::fprintf(stderr, "WATCHDOG: '%s' hung for %lld ms\n", what_.c_str(),
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard l(m_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::string what_;
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

// A watchdog for every test of a program: a test that hangs ends the program
// with its name instead of stalling the run. Tests that know their own
// limit keep a shorter Watchdog of their own.
class TestWatchdog : public ::testing::EmptyTestEventListener {
 public:
  explicit TestWatchdog(std::chrono::milliseconds limit = std::chrono::minutes(3)) : limit_(limit) {}
  // Adds one to the program's listeners (after InitGoogleTest).
  static void Install() { ::testing::UnitTest::GetInstance()->listeners().Append(new TestWatchdog); }

  void OnTestStart(const ::testing::TestInfo& test) override {
    dog_ = std::make_unique<Watchdog>(std::string(test.test_suite_name()) + "." + test.name(), limit_);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { dog_.reset(); }

 private:
  std::chrono::milliseconds limit_;
  std::unique_ptr<Watchdog> dog_;
};
