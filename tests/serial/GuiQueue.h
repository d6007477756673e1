#pragma once
// A stand-in for the GUI thread's event queue without Qt: the port's
// hand-overs are queued here and run by whichever thread calls RunOne/RunAll
// (the test's "GUI thread").
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "serial/ComPort.h"

class GuiQueue {
 public:
  TCustomComPort::TGuiPoster Poster() {
    return [this](std::function<void()> run) {
      std::lock_guard l(m_);
      q_.push_back(std::move(run));
      ++posted_;
      cv_.notify_all();
    };
  }
  // Waits up to timeoutMs for a queued hand-over and runs it; false if none came.
  bool RunOne(int timeoutMs = 5000) {
    std::function<void()> run;
    {
      std::unique_lock l(m_);
      if (!cv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return !q_.empty(); })) return false;
      run = std::move(q_.front());
      q_.pop_front();
    }
    run();
    return true;
  }
  // Runs what is queued now.
  void RunAll() {
    while (RunOne(0)) {
    }
  }
  bool WaitPosted(int n, int timeoutMs = 5000) {
    std::unique_lock l(m_);
    return cv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return posted_ >= n; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> q_;
  int posted_ = 0;
};
