#include "serial/ComLossReport.h"

void TComLossReport::CallerFailed(EComPort& error) {
  if (error.OsErrorCode() <= 0) return;
  std::lock_guard lock(m_);
  if (shownOsCode_ != 0 && error.OsErrorCode() == shownOsCode_) {
    error.MarkAlreadyReported();
    shownOsCode_ = 0;  // a later failure is a later action of the user's: shown
    return;
  }
  callerOsCode_ = error.OsErrorCode();
}

bool TComLossReport::TakeWaitReport(const EComPort& report) {
  std::lock_guard lock(m_);
  if (closed_ || report.OsErrorCode() == callerOsCode_) return false;
  shownOsCode_ = report.OsErrorCode();
  return true;
}

void TComLossReport::PortClosed() {
  std::lock_guard lock(m_);
  closed_ = true;
}
