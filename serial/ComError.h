#pragma once
// The serial port component's error, and the application's error display
// that errors no caller can catch are handed to (those of the event thread,
// and of notification handlers run on the GUI thread).
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

class EComPort : public std::runtime_error {
 public:
  static constexpr int kMessageCount = 21;

  explicit EComPort(int portErrorCode);                            // OsErrorCode() == -1
  EComPort(int portErrorCode, int osErrorCode, int sysErrno = 0);  // "<text> (win error code: N)"
  int PortErrorCode() const { return portErrorCode_; }
  int OsErrorCode() const { return osErrorCode_; }
  int Errno() const { return errno_; }  // Linux errno behind OsErrorCode, 0 when none

  // The table text of a code 1..21; "" for any other.
  static std::string MessageText(int portErrorCode);

  // The user has already been told of this failure (a lost device reported
  // by the event thread): its caller gets it as always, displays skip it.
  bool AlreadyReported() const { return alreadyReported_; }
  void MarkAlreadyReported() { alreadyReported_ = true; }

 private:
  int portErrorCode_;
  int osErrorCode_;
  int errno_;
  bool alreadyReported_ = false;
};

// Whether error is an EComPort the user has already been told of; an error
// display shows nothing for it.
bool IsAlreadyReported(const std::exception_ptr& error);

// The application's standard error display. An exception thrown by a
// notification handler (or a dispatch query) while the port delivers on the
// GUI thread is caught there and handed to this sink (unless it is already
// reported); the app installs its error box at start. Default: the message
// on stderr. Thread-safe to set.
void SetApplicationErrorHandler(std::function<void(std::exception_ptr)> handler);
void ShowApplicationError(std::exception_ptr error);
