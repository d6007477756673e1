#include "serial/ComNotifyWindow.h"

intptr_t TComNotifyWindow::WindowProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  (void)lParam;
  if (message != static_cast<unsigned>(kPortEventMessage)) return 0;  // the default answer
  if (wParam > 0xFFFFFFFFu) return 0;
  const TComEvents events = MaskToEvents(static_cast<uint32_t>(wParam));
  // Exactly one of the ten flags; anything else is ignored.
  if (events.Empty() || EventsToMask(events) != wParam || (events.ToBits() & (events.ToBits() - 1)) != 0) return 0;
  // A copy: a handler may close the port, which frees this window.
  const std::function<void(TComEvent)> dispatch = dispatch_;
  for (TComEvent e : kDispatchOrder)
    if (events.Contains(e)) dispatch(e);
  return 0;
}
