// The delay object: how long it waits, the interval rules, nested waits, and
// that everything else keeps being handled while it waits.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QVariant>
#include <atomic>
#include <climits>
#include <thread>

#include "link/Sleeper.h"

namespace {

// Generous windows: the machine is shared, so only lateness far beyond the
// timer's precision counts as a fault; early is never allowed.
constexpr qint64 kSlack = 250;

qint64 TimedSleep(TSleeper& s, int ms) {
  QElapsedTimer clock;
  clock.start();
  s.Sleep(ms);
  return clock.elapsed();
}

class EventCounter : public QObject {
 public:
  int Count = 0;
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) {
      ++Count;
      return true;
    }
    return QObject::event(e);
  }
};

}  // namespace

TEST(Sleeper, WaitsAboutTheRequestedTime) {
  TSleeper s;
  EXPECT_EQ(s.Interval(), 1000);
  qint64 t = TimedSleep(s, 300);
  EXPECT_GE(t, 299);
  EXPECT_LT(t, 300 + kSlack);
  EXPECT_FALSE(s.Sleeping());
}

TEST(Sleeper, IntervalFollowsTheLastSleep) {
  TSleeper s;
  s.SetInterval(1000);
  EXPECT_EQ(s.property("Interval").toInt(), 1000);
  qint64 t = TimedSleep(s, 1000);
  EXPECT_GE(t, 999);
  EXPECT_LT(t, 1000 + kSlack);
  t = TimedSleep(s, 500);  // changes the interval
  EXPECT_EQ(s.Interval(), 500);
  EXPECT_GE(t, 499);
  EXPECT_LT(t, 500 + kSlack);
  t = TimedSleep(s, 500);  // the same again: left as it is
  EXPECT_EQ(s.Interval(), 500);
  EXPECT_GE(t, 499);
  EXPECT_LT(t, 500 + kSlack);
}

TEST(Sleeper, ZeroOrNegativeReturnsAtOnceAndChangesNothing) {
  TSleeper s;
  s.SetInterval(700);
  EXPECT_LT(TimedSleep(s, 0), 50);
  EXPECT_LT(TimedSleep(s, -1), 50);
  EXPECT_LT(TimedSleep(s, INT_MIN), 50);
  EXPECT_EQ(s.Interval(), 700);
}

// A handler that runs during a wait waits on the same object: the first tick
// ends both waits.
TEST(Sleeper, NestedWaitsEndTogetherAtTheFirstTick) {
  TSleeper s;
  QElapsedTimer clock;
  qint64 innerEnd = -1;
  QTimer::singleShot(200, [&] {
    s.Sleep(800);  // same interval: the running timer is not restarted
    innerEnd = clock.elapsed();
  });
  clock.start();
  s.Sleep(800);
  qint64 outerEnd = clock.elapsed();
  ASSERT_GE(innerEnd, 0);
  EXPECT_GE(innerEnd, 799);
  EXPECT_LT(innerEnd, 800 + kSlack);  // not 200 + 800
  EXPECT_GE(outerEnd, innerEnd);
  EXPECT_LT(outerEnd - innerEnd, 100);
}

TEST(Sleeper, NestedWaitMayChangeTheIntervalForBoth) {
  TSleeper s;
  QElapsedTimer clock;
  qint64 innerEnd = -1;
  QTimer::singleShot(200, [&] {
    s.Sleep(300);  // restarts the timer with 300: the tick comes at about 500
    innerEnd = clock.elapsed();
  });
  clock.start();
  s.Sleep(1000);
  qint64 outerEnd = clock.elapsed();
  ASSERT_GE(innerEnd, 0);
  EXPECT_GE(innerEnd, 499);
  EXPECT_LT(innerEnd, 500 + kSlack);
  EXPECT_LT(outerEnd - innerEnd, 100);
  EXPECT_EQ(s.Interval(), 300);
}

TEST(Sleeper, KeepsHandlingEventsTimersAndOtherThreadsWhileWaiting) {
  TSleeper s;
  EventCounter target;
  QCoreApplication::postEvent(&target, new QEvent(QEvent::User));

  bool timerRan = false;
  QTimer::singleShot(50, [&] { timerRan = true; });

  // The serial event thread hands notifications over synchronously: it blocks
  // until the GUI thread has run them, which must happen inside the wait.
  std::atomic<bool> queuedRan{false}, blockingRan{false};
  std::thread other([&] {
    QMetaObject::invokeMethod(&target, [&] { queuedRan = true; }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(&target, [&] { blockingRan = true; }, Qt::BlockingQueuedConnection);
  });

  s.Sleep(400);
  EXPECT_EQ(target.Count, 1);
  EXPECT_TRUE(timerRan);
  EXPECT_TRUE(queuedRan);
  EXPECT_TRUE(blockingRan);
  other.join();
}

TEST(Sleeper, NonPositiveIntervalDuringAWaitEndsIt) {
  TSleeper s;
  QTimer::singleShot(100, [&] { s.SetInterval(0); });
  qint64 t = TimedSleep(s, 2000);
  EXPECT_LT(t, 100 + kSlack);
  EXPECT_EQ(s.Interval(), 0);
  // The next wait sets its own interval again.
  t = TimedSleep(s, 200);
  EXPECT_GE(t, 199);
  EXPECT_LT(t, 200 + kSlack);
}

TEST(Sleeper, DestroyedDuringAWaitEndsIt) {
  auto* s = new TSleeper;
  QTimer::singleShot(100, [&] { delete s; });
  QElapsedTimer clock;
  clock.start();
  s->Sleep(2000);
  EXPECT_LT(clock.elapsed(), 100 + kSlack);
}
