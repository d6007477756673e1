#include "serial/ComInputWatch.h"

#include <QEvent>

#include "serial/ComPort.h"

// Takes the activation straight from event(): no signal in between, the
// arrival goes to the port at once.
class TComInputWatch::Notifier : public QSocketNotifier {
 public:
  Notifier(int fd, TCustomComPort* port) : QSocketNotifier(fd, QSocketNotifier::Read), port_(port) {}
  bool delivering = false;
  bool orphaned = false;  // the watch is gone: delete when back from delivering

 protected:
  bool event(QEvent* e) override {
    if (e->type() != QEvent::SockAct) return QSocketNotifier::event(e);
    if (orphaned || !isEnabled()) return true;
    delivering = true;
    port_->InputArrived();  // may end the watch, or the port, meanwhile
    delivering = false;
    if (orphaned) deleteLater();
    return true;
  }

 private:
  TCustomComPort* port_;
};

TComInputWatch::TComInputWatch(TCustomComPort* port, const std::vector<int>& handles) {
  for (int fd : handles) notifiers_.push_back(new Notifier(fd, port));
}

TComInputWatch::~TComInputWatch() {
  for (Notifier* n : notifiers_) {
    n->setEnabled(false);
    if (n->delivering)
      n->orphaned = true;
    else
      delete n;
  }
}

void TComInputWatch::SetEnabled(bool on) {
  for (Notifier* n : notifiers_) n->setEnabled(on);
}
