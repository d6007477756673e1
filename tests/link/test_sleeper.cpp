// The delay object: how long it waits, the interval rules, nested waits, and
// that everything else keeps being handled while it waits.
//
// No wall-clock upper bound: how late a loaded machine gets to a timer is the
// scheduler's business. A wait is never early, so its length has a lower
// bound; that it ends at the right tick shows in the order in which its timer
// and a reference timer tick. Qt runs due timers in the order of their due
// times however late the loop gets to them, and the reference is started
// from inside the wait, after the sleeper's own timer: a tick at the
// requested interval comes first, a tick at a wrong one after. A wait that
// must end without a tick and does not is ended by the test's watchdog.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QVariant>
#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "Session.h"
#include "link/Sleeper.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Longer than the watchdog lets a test run.
constexpr int kLongerThanTheWatchdog = 3600 * 1000;

// The ticks of a sleeper's timer ("tick") and of reference timers (named by
// their interval), in the order they came.
class TickOrder : public QObject {
 public:
  explicit TickOrder(TSleeper& sleeper) {
    QTimer* timer = sleeper.findChild<QTimer*>();
    EXPECT_NE(timer, nullptr);
    if (timer) connect(timer, &QTimer::timeout, this, [this] { ticks.push_back("tick"); });
  }
  // A precise single-shot reference timer of ms, started once the loop that
  // runs next (the wait's own) gets to it.
  void ReferenceFromInsideTheWait(int ms) {
    QTimer::singleShot(0, this, [this, ms] {
      auto* t = new QTimer(this);
      t->setTimerType(Qt::PreciseTimer);
      t->setSingleShot(true);
      connect(t, &QTimer::timeout, this, [this, ms] { ticks.push_back(std::to_string(ms)); });
      t->start(ms);
    });
  }
  // Runs the event loop until n ticks in all have come.
  bool WaitForTicks(std::size_t n) {
    return WaitUntil([&] { return ticks.size() >= n; }, 10000);
  }

  std::vector<std::string> ticks;
};

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

// Each wait ends at the first tick of its own timer, set to the time it asks
// for, and never before: the first after creation (interval 1000), one that
// changes the interval, one that keeps it.
TEST(Sleeper, EndsAtTheFirstTickOfTheRequestedIntervalAndNeverEarly) {
  TSleeper s;
  EXPECT_EQ(s.Interval(), 1000);
  EXPECT_EQ(s.property("Interval").toInt(), 1000);
  for (int ms : {300, 1000, 500, 500}) {
    SCOPED_TRACE(ms);
    TickOrder order(s);
    order.ReferenceFromInsideTheWait(ms * 3 / 2);
    const auto start = Clock::now();
    s.Sleep(ms);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(ms));
    EXPECT_FALSE(s.Sleeping());
    EXPECT_EQ(s.Interval(), ms);
    ASSERT_TRUE(order.WaitForTicks(2));
    EXPECT_EQ(order.ticks, (std::vector<std::string>{"tick", std::to_string(ms * 3 / 2)}));
  }
}

TEST(Sleeper, ZeroOrNegativeReturnsAtOnceAndChangesNothing) {
  TSleeper s;
  s.SetInterval(700);
  bool loopRan = false;
  QTimer::singleShot(0, [&] { loopRan = true; });
  s.Sleep(0);
  s.Sleep(-1);
  s.Sleep(INT_MIN);
  EXPECT_FALSE(loopRan) << "a wait ran the event loop";
  EXPECT_FALSE(s.Sleeping());
  EXPECT_EQ(s.Interval(), 700);
  EXPECT_TRUE(WaitUntil([&] { return loopRan; }));
}

// A handler that runs during a wait waits on the same object with the same
// interval: the running timer is not restarted, and its first tick ends both
// waits. Restarted at the inner wait (400 ms in), it would tick at 1200 ms,
// after the reference at 1000.
TEST(Sleeper, NestedWaitsEndTogetherAtTheFirstTick) {
  TSleeper s;
  TickOrder order(s);
  bool innerEnded = false;
  QTimer::singleShot(400, [&] {
    s.Sleep(800);
    innerEnded = true;
  });
  order.ReferenceFromInsideTheWait(1000);
  const auto start = Clock::now();
  s.Sleep(800);
  EXPECT_GE(Clock::now() - start, 800ms);
  EXPECT_TRUE(innerEnded);
  ASSERT_TRUE(order.WaitForTicks(2));
  EXPECT_EQ(order.ticks, (std::vector<std::string>{"tick", "1000"}));
}

// A nested wait with another interval restarts the timer with it; the tick
// ends both waits. Without the restart the tick would come at 1000 ms, after
// the reference started with the inner wait.
TEST(Sleeper, NestedWaitMayChangeTheIntervalForBoth) {
  TSleeper s;
  TickOrder order(s);
  Clock::time_point innerStart{}, innerEnd{};
  QTimer::singleShot(200, [&] {
    order.ReferenceFromInsideTheWait(450);
    innerStart = Clock::now();
    s.Sleep(300);
    innerEnd = Clock::now();
  });
  const auto start = Clock::now();
  s.Sleep(1000);
  const auto end = Clock::now();
  EXPECT_GE(innerEnd - innerStart, 300ms);
  EXPECT_GE(end - start, 500ms);
  EXPECT_GE(end, innerEnd);
  EXPECT_EQ(s.Interval(), 300);
  ASSERT_TRUE(order.WaitForTicks(2));
  EXPECT_EQ(order.ticks, (std::vector<std::string>{"tick", "450"}));
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

// A wait longer than the watchdog allows: only the interval set to 0 can end
// it.
TEST(Sleeper, NonPositiveIntervalDuringAWaitEndsIt) {
  TSleeper s;
  QTimer::singleShot(100, [&] { s.SetInterval(0); });
  s.Sleep(kLongerThanTheWatchdog);
  EXPECT_EQ(s.Interval(), 0);
  // The next wait sets its own interval again.
  TickOrder order(s);
  order.ReferenceFromInsideTheWait(300);
  const auto start = Clock::now();
  s.Sleep(200);
  EXPECT_GE(Clock::now() - start, 200ms);
  EXPECT_EQ(s.Interval(), 200);
  ASSERT_TRUE(order.WaitForTicks(2));
  EXPECT_EQ(order.ticks, (std::vector<std::string>{"tick", "300"}));
}

// A wait longer than the watchdog allows ends when the object goes.
TEST(Sleeper, DestroyedDuringAWaitEndsIt) {
  auto* s = new TSleeper;
  QTimer::singleShot(100, [&] { delete s; });
  s->Sleep(kLongerThanTheWatchdog);
  SUCCEED();
}
