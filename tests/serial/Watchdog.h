#pragma once
// Ends the test program when the scope it guards hangs longer than its
// limit, so a deadlock fails the run instead of blocking it. (Every test also
// runs under the program's own watchdog, tests/support/TestWatchdog.h; this
// one is for a shorter limit of a test's own.)
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
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
