#pragma once
// A recording fake of the device layer. A FakeLine stands for the driver and
// the far side of one line; every device opened through its Opener() works
// on it. It logs each call with its arguments, can be told to fail any call
// with a Windows-style code, and lets a test script "these events occurred".
//
// The event wait follows the device contract: WaitCommEvent blocks until an
// event of the mask has occurred (events raised while no wait is pending are
// kept for the next one) and returns those flags; it returns 0 when
// CancelWait is called (before or during the wait) or the mask is set to 0.
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/ComDevice.h"

class FakeLine : public std::enable_shared_from_this<FakeLine> {
 public:
  static std::shared_ptr<FakeLine> Create() { return std::shared_ptr<FakeLine>(new FakeLine); }

  // Opens a device on this line under any name ("Open(COM2)" in the log).
  TComDeviceOpener Opener();

  // The calls so far, e.g. "Open(COM1)", "SetupComm(1024,1024)",
  // "SetCommState(9600 0x801 256/256 8 0 0 17 19 0 0)", "SetCommTimeouts(-1 0 0 100 1000)",
  // "SetCommMask(0x101)", "WaitCommEvent", "CancelWait", "PurgeComm(0x3)", "ClearCommError",
  // "GetCommModemStatus", "Read(10)", "Write(3)", "Close".
  std::vector<std::string> Calls() const;
  // The same without the queries and waits (ClearCommError,
  // GetCommModemStatus, WaitCommEvent, CancelWait): the configuration story.
  std::vector<std::string> Commands() const;
  int Count(const std::string& callPrefix) const;
  void ClearCalls();

  // The next `times` calls of op (its name, e.g. "PurgeComm", "Open") fail
  // with ComOsError(winCode, sysErrno); times < 0: every call from now on.
  void Fail(const std::string& op, int winCode, int times = 1, int sysErrno = 0);

  // The far side sends bytes: they join the input queue and EV_RXCHAR
  // occurs, together with alsoEvents (one wait reports them all).
  void Receive(const std::string& bytes, uint32_t alsoEvents = 0);
  // These EV_ events occurred.
  void RaiseEvents(uint32_t evFlags);
  void SetModemStatus(uint32_t msFlags);
  void SetLineErrors(uint32_t ceFlags);  // reported (and cleared) by the next ClearCommError
  // The device vanishes: a pending wait and every later one, and every
  // later read, write and queue query, fail with code.
  void Vanish(int winCode = winerr::kIoDevice);

  std::string Written() const;
  std::string InputQueue() const;
  TDCB LastDCB() const;
  uint32_t Mask() const;
  bool IsOpen() const;
  int OpenCount() const;
  // Blocks until a WaitCommEvent is pending (true) or timeoutMs passed.
  bool WaitUntilWaiting(int timeoutMs = 5000) const;
  // Blocks until the number of waits started reaches n.
  bool WaitUntilWaitsStarted(int n, int timeoutMs = 5000) const;
  int WaitsStarted() const;

 private:
  FakeLine() = default;
  friend class FakeComDevice;
  void Log(const std::string& call);  // with m_ held
  void MaybeFail(const std::string& op);  // with m_ held; throws
  void FailIfVanished();                  // with m_ held; throws

  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::vector<std::string> calls_;
  struct Failure {
    int code;
    int times;
    int sysErrno;
  };
  std::map<std::string, Failure> failures_;
  std::string input_;
  std::string written_;
  TDCB dcb_;
  uint32_t mask_ = 0;
  uint32_t events_ = 0;  // occurred, not yet reported
  uint32_t modem_ = 0;
  uint32_t errors_ = 0;
  bool cancel_ = false;
  bool waiting_ = false;
  int waitsStarted_ = 0;
  int vanished_ = 0;
  int openDevices_ = 0;
  int opens_ = 0;
};
