#pragma once
// The application's error display for a test: collects what reaches it, and
// puts the default back when the test ends, also after a failed assertion
// (a sink left pointing at a dead test's locals would take the next test's
// errors).
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "serial/ComError.h"

class ErrorSink {
 public:
  ErrorSink() {
    SetApplicationErrorHandler([this](std::exception_ptr e) { Add(e); });
  }
  ~ErrorSink() { SetApplicationErrorHandler(nullptr); }
  ErrorSink(const ErrorSink&) = delete;
  ErrorSink& operator=(const ErrorSink&) = delete;

  // What the program's guard does with an error that ended a handler.
  void ShowCaught(std::exception_ptr e) {
    if (!IsAlreadyReported(e)) Add(e);
  }

  std::vector<std::string> Texts() const {
    std::lock_guard l(m_);
    return texts_;
  }
  std::vector<int> Codes() const {  // PortErrorCode, 0 for other errors
    std::lock_guard l(m_);
    return codes_;
  }
  size_t Count() const {
    std::lock_guard l(m_);
    return texts_.size();
  }

 private:
  void Add(std::exception_ptr e) {
    std::lock_guard l(m_);
    try {
      std::rethrow_exception(e);
    } catch (const EComPort& x) {
      texts_.push_back(x.what());
      codes_.push_back(x.PortErrorCode());
    } catch (const std::exception& x) {
      texts_.push_back(x.what());
      codes_.push_back(0);
    } catch (...) {
      texts_.push_back("?");
      codes_.push_back(0);
    }
  }

  mutable std::mutex m_;
  std::vector<std::string> texts_;
  std::vector<int> codes_;
};
