#pragma once
// One lost device, one message. When a device vanishes, the event thread's
// wait fails and reports it (EComPort 21) on the GUI thread; the next
// operation a handler calls fails for the same reason (a send of the reset
// dialog's polling, say), and its caller gets that error. The user is told
// once: whichever of the two reaches the GUI thread first is shown, the
// other is not. Internal to the serial component; one per open port.
#include <mutex>

#include "serial/ComError.h"

class TComLossReport {
 public:
  // The port raises error to a caller. When the wait's report of the same
  // failure has been shown, the first such error is marked as already
  // reported: its caller still gets it, displays skip it.
  void CallerFailed(EComPort& error);
  // GUI thread, before the wait's report is shown: false when a caller has
  // already been given an error for the same failure, or the port has been
  // closed since.
  bool TakeWaitReport(const EComPort& report);
  void PortClosed();

 private:
  std::mutex m_;
  int callerOsCode_ = 0;  // OS code of the last error raised to a caller
  int shownOsCode_ = 0;   // OS code of the wait's report shown, until a caller met it
  bool closed_ = false;
};
