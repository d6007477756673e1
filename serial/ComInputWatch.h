#pragma once
// The GUI thread's own watch on a port's received bytes. With smThreadSync
// and evRxChar, an arrival wakes the GUI thread directly and OnRxChar runs
// from there; the event thread keeps every other event. Internal to the
// serial component.
#include <QSocketNotifier>

#include <memory>
#include <vector>

class TCustomComPort;

class TComInputWatch {
 public:
  // Watches the descriptors for reading; each readiness calls
  // port->InputArrived() on the GUI thread.
  TComInputWatch(TCustomComPort* port, const std::vector<int>& handles);
  // Safe from inside InputArrived: a notifier that is delivering is
  // deleted once it has returned to the event loop.
  ~TComInputWatch();
  TComInputWatch(const TComInputWatch&) = delete;
  TComInputWatch& operator=(const TComInputWatch&) = delete;

  void SetEnabled(bool on);

 private:
  class Notifier;
  std::vector<Notifier*> notifiers_;
};
