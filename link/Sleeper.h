#pragma once
// The delay object: Sleep(ms) returns after about ms milliseconds while the
// GUI thread keeps handling everything else: window events, other timers, the
// serial port's receive notifications and queued calls from other threads.
//
// It blocks in a nested event loop (no polling) and ends at the first tick of
// its own timer. A handler that runs during a wait may Sleep on the same object
// again; all waits share the done flag and the timer, so the first tick ends
// every one of them, and the inner call may change the interval (which
// restarts the timer, as setting a running timer's interval does). Sleep with
// 0 or a negative value returns at once and changes nothing.
//
// Use it on the thread that owns it (the GUI thread) with a Q(Core)Application.
// An application quit (QCoreApplication::exit) ends a wait early.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <vector>

class QEventLoop;

class TSleeper : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Interval READ Interval WRITE SetInterval)

 public:
  explicit TSleeper(QObject* owner = nullptr);
  ~TSleeper() override;

  // The timer's interval in milliseconds (1000 at creation).
  int Interval() const;
  // Sets the timer's interval. While a wait runs this restarts the timer; a
  // value of 0 or less then ends the running waits at once (the timer could
  // never tick).
  void SetInterval(int ms);

  void Sleep(int milliseconds);

  // True while at least one Sleep is waiting.
  bool Sleeping() const { return !loops_.empty(); }

 private:
  void TimerTick();

  QPointer<QTimer> FTimer;
  bool FDone = false;
  std::vector<QEventLoop*> loops_;  // the running waits, innermost last
};
