#include "link/Sleeper.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <stdexcept>

TSleeper::TSleeper(QObject* owner) : QObject(owner), FTimer(new QTimer(this)) {
  FTimer->setTimerType(Qt::PreciseTimer);
  FTimer->setInterval(1000);
  connect(FTimer, &QTimer::timeout, this, &TSleeper::TimerTick);
}

TSleeper::~TSleeper() {
  // A wait still running (the object destroyed by a handler inside it) ends
  // now instead of waiting for a tick that can no longer come.
  for (QEventLoop* loop : loops_) loop->quit();
}

int TSleeper::Interval() const { return FTimer ? FTimer->interval() : 0; }

void TSleeper::SetInterval(int ms) {
  if (!FTimer) return;
  if (FTimer->isActive() && ms <= 0) {
    FTimer->stop();
    FTimer->setInterval(ms);
    TimerTick();
    return;
  }
  FTimer->setInterval(ms);  // restarts a running timer
}

void TSleeper::TimerTick() {
  FDone = true;
  for (QEventLoop* loop : loops_) loop->quit();
}

void TSleeper::Sleep(int milliseconds) {
  if (!FTimer || milliseconds <= 0) return;
  if (!QCoreApplication::instance())
    throw std::logic_error("TSleeper::Sleep needs a running application object");
  if (QThread::currentThread() != thread())
    throw std::logic_error("TSleeper::Sleep called from a thread that does not own the object");
  if (milliseconds != FTimer->interval()) FTimer->setInterval(milliseconds);
  FDone = false;
  // Enabling a timer that an outer wait already runs must not restart it.
  if (!FTimer->isActive()) FTimer->start();

  QEventLoop loop;
  loops_.push_back(&loop);
  // Unregisters the wait however it ends (also if the object was destroyed
  // during it, which quits the loop).
  struct TRegistration {
    QPointer<TSleeper> Self;
    QEventLoop* Loop;
    ~TRegistration() {
      if (!Self) return;
      auto& loops = Self->loops_;
      loops.erase(std::find(loops.begin(), loops.end(), Loop));
    }
  } registration{this, &loop};
  loop.exec();
  if (!registration.Self) return;
  if (FTimer) FTimer->stop();
}
