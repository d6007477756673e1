#pragma once
// smWindowSync's hidden receiver on the GUI thread: one PortEventMessage per
// event, wParam the event's EV_ flag (others ignored); every other message
// gets the default answer 0. Made by the port while it is open with
// smWindowSync and a non-empty Events.
#include <QObject>

#include <cstdint>
#include <functional>

#include "serial/ComSettings.h"

// The window message that carries one event.
inline constexpr int kPortEventMessage = 1025;  // WM_USER + 1

class TComNotifyWindow : public QObject {
  Q_OBJECT

 public:
  // dispatch runs the notification of one event (the port's).
  explicit TComNotifyWindow(std::function<void(TComEvent)> dispatch) : dispatch_(std::move(dispatch)) {}
  intptr_t WindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);

 private:
  std::function<void(TComEvent)> dispatch_;
};
