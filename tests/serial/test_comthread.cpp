// The event thread against the recording fake: the three delivery methods,
// the dispatch order, errors from handlers, and closes that must neither
// deadlock nor leave a notification behind.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "ErrorSink.h"
#include "FakeComDevice.h"
#include "QtPump.h"
#include "Watchdog.h"
#include "serial/ComNotifyWindow.h"
#include "serial/ComPort.h"

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

// The program's hand-over to the GUI thread (a queued call), counting the
// hand-overs so a test knows one is under way.
class PostCounter {
 public:
  TCustomComPort::TGuiPoster Poster() {
    return [this](std::function<void()> run) {
      QMetaObject::invokeMethod(QCoreApplication::instance(), run, Qt::QueuedConnection);
      std::lock_guard l(m_);
      ++count_;
      cv_.notify_all();
    };
  }
  bool WaitFor(int n) {
    std::unique_lock l(m_);
    return cv_.wait_for(l, 5s, [&] { return count_ >= n; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_ = 0;
};

// Waits up to five seconds for cond to hold, without an event loop.
bool WaitUntil(const std::function<bool()>& cond) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// The event thread empties both queues on its way out.
bool ThreadEnded(const FakeLine& line) { return line.Count("PurgeComm(0xc)") > 0; }

class ThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { port.SetDeviceOpener(line->Opener()); }

  // Every notification of the wait, recorded with the thread it ran on.
  void RecordAll() {
    auto note = [this](const std::string& s) {
      std::lock_guard l(m);
      notes.push_back(s);
      threads.push_back(QThread::currentThread());
    };
    port.OnRxChar = [=](QObject*, int n) { note("RxChar" + std::to_string(n)); };
    port.OnTxEmpty = [=](QObject*) { note("TxEmpty"); };
    port.OnBreak = [=](QObject*) { note("Break"); };
    port.OnRing = [=](QObject*) { note("Ring"); };
    port.OnCTSChange = [=](QObject*, bool on) { note(std::string("CTS") + (on ? "1" : "0")); };
    port.OnDSRChange = [=](QObject*, bool on) { note(std::string("DSR") + (on ? "1" : "0")); };
    port.OnRxFlag = [=](QObject*) { note("RxFlag"); };
    port.OnRLSDChange = [=](QObject*, bool on) { note(std::string("RLSD") + (on ? "1" : "0")); };
    port.OnError = [=](QObject*, TComErrors e) { note("Error" + std::to_string(e.ToBits())); };
    port.OnRx80Full = [=](QObject*) { note("Rx80Full"); };
  }
  size_t NoteCount() {
    std::lock_guard l(m);
    return notes.size();
  }
  Strings Notes() {
    std::lock_guard l(m);
    return notes;
  }
  Strings TakeNotes() {
    std::lock_guard l(m);
    threads.clear();
    return std::exchange(notes, {});
  }

  std::shared_ptr<FakeLine> line = FakeLine::Create();
  std::mutex m;
  Strings notes;
  std::vector<QThread*> threads;
  TComPort port;  // last: its destruction closes it and may still notify
};

constexpr uint32_t kAllTen = ev::RXCHAR | ev::TXEMPTY | ev::RXFLAG | ev::RING | ev::BREAK | ev::CTS | ev::DSR |
                             ev::ERR | ev::RLSD | ev::RX80FULL;
// Error0: the queue count read for evRxChar has already cleared the line
// errors in the driver (as ClearCommError does).
const Strings kAllTenInOrder = {"RxChar3", "TxEmpty", "Break", "Ring",  "CTS1",
                                "DSR0",    "RxFlag",  "RLSD1", "Error0", "Rx80Full"};

}  // namespace

TEST_F(ThreadTest, ThreadSyncRunsABatchOnTheGuiThreadInDispatchOrderBeforeTheNextWait) {
  Watchdog dog("thread sync batch");
  port.OpenPort();
  RecordAll();
  ASSERT_TRUE(line->WaitUntilWaiting());
  EXPECT_EQ(line->Mask(), 0x7FFu & ~ev::PERR);
  line->SetModemStatus(ms::CTS_ON | ms::RLSD_ON);
  line->SetLineErrors(ce::FRAME);
  line->Receive("abc", kAllTen | ev::PERR);
  // Without the GUI thread taking events nothing runs, and the thread does
  // not wait again: it is blocked in the hand-over. A check that something
  // does not happen can only look for a while; it is kept because it does
  // fail when handlers run on the event thread (they would be done within
  // these 50 ms) or when the thread arms its next wait without waiting for
  // the batch. The thread has had the events before the look starts.
  ASSERT_TRUE(line->WaitUntilWaitsStarted(1));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(NoteCount(), 0u);
  EXPECT_EQ(line->WaitsStarted(), 1);
  ASSERT_TRUE(PumpUntil([&] { return NoteCount() == 10; }));
  EXPECT_EQ(Notes(), kAllTenInOrder);
  for (QThread* t : threads) EXPECT_EQ(t, QCoreApplication::instance()->thread());
  EXPECT_TRUE(line->WaitUntilWaitsStarted(2));
  TakeNotes();
  line->SetLineErrors(ce::FRAME | ce::BREAK);
  line->RaiseEvents(ev::ERR);
  ASSERT_TRUE(PumpUntil([&] { return NoteCount() == 1; }));
  EXPECT_EQ(Notes(), Strings{"Error9"});
  port.ClosePort();
}

TEST_F(ThreadTest, RxCharCountsTheQueueAtDeliveryAndIsSkippedWhenEmpty) {
  Watchdog dog("rx char counts");
  port.OpenPort();
  RecordAll();
  std::string got;
  port.OnRxChar = [&](QObject*, int n) {
    std::lock_guard l(m);
    notes.push_back("RxChar" + std::to_string(n));
    std::string part;
    port.ReceiveText(part, n);
    got += part;
  };
  line->Receive("0123456789");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 10; }));
  EXPECT_EQ(got, "0123456789");
  // A wait reporting received characters when a handler already read them
  // all: no call. The ring of the same batch still goes out.
  TakeNotes();
  line->RaiseEvents(ev::RXCHAR | ev::RING);
  ASSERT_TRUE(PumpUntil([&] { return NoteCount() == 1; }));
  EXPECT_EQ(Notes(), Strings{"Ring"});
  port.ClosePort();
}

TEST_F(ThreadTest, WindowSyncSendsOneMessagePerEventInDispatchOrder) {
  Watchdog dog("window sync");
  port.SetSyncMethod(smWindowSync);
  port.OpenPort();
  ASSERT_NE(port.NotifyWindow(), nullptr);
  EXPECT_EQ(port.NotifyWindow()->thread(), QCoreApplication::instance()->thread());
  RecordAll();
  line->SetModemStatus(ms::CTS_ON | ms::RLSD_ON);
  line->SetLineErrors(ce::FRAME);
  line->Receive("abc", kAllTen);
  ASSERT_TRUE(PumpUntil([&] { return NoteCount() == 10; }));
  EXPECT_EQ(Notes(), kAllTenInOrder);
  for (QThread* t : threads) EXPECT_EQ(t, QCoreApplication::instance()->thread());
  TakeNotes();

  // A ring and a carrier change: EV_RING, then EV_RLSD.
  line->RaiseEvents(ev::RLSD | ev::RING);
  ASSERT_TRUE(PumpUntil([&] { return NoteCount() == 2; }));
  EXPECT_EQ(Notes(), (Strings{"Ring", "RLSD1"}));
  TakeNotes();

  // The receiver's procedure: one known flag per message, others ignored.
  TComNotifyWindow* w = port.NotifyWindow();
  EXPECT_EQ(w->WindowProc(TCustomComPort::PortEventMessage, ev::PERR, 0), 0);
  EXPECT_EQ(w->WindowProc(TCustomComPort::PortEventMessage, ev::RING | ev::BREAK, 0), 0);
  EXPECT_EQ(w->WindowProc(TCustomComPort::PortEventMessage, 0, 0), 0);
  EXPECT_EQ(w->WindowProc(TCustomComPort::PortEventMessage + 1, ev::RING, 0), 0);
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(w->WindowProc(TCustomComPort::PortEventMessage, ev::BREAK, 0), 0);
  EXPECT_EQ(Notes(), Strings{"Break"});
  port.ClosePort();
  EXPECT_EQ(port.NotifyWindow(), nullptr);
}

TEST_F(ThreadTest, NoneRunsHandlersOnTheEventThread) {
  Watchdog dog("sync none");
  port.SetSyncMethod(smNone);
  port.OpenPort();
  RecordAll();
  line->SetModemStatus(ms::CTS_ON | ms::RLSD_ON);
  line->SetLineErrors(ce::FRAME);
  line->Receive("abc", kAllTen);
  // No event loop needed.
  for (int i = 0; i < 2500 && NoteCount() < 10; ++i) std::this_thread::sleep_for(2ms);
  EXPECT_EQ(Notes(), kAllTenInOrder);
  {
    std::lock_guard l(m);
    for (QThread* t : threads) EXPECT_NE(t, QCoreApplication::instance()->thread());
  }
  port.ClosePort();
}

TEST_F(ThreadTest, AnExceptionFromAHandlerOrQueryReachesTheErrorDisplayAndTheThreadGoesOn) {
  Watchdog dog("handler exceptions");
  ErrorSink sink;
  port.SetEvents({evRxChar, evRing});
  port.OpenPort();
  RecordAll();
  int calls = 0;
  port.OnRxChar = [&](QObject*, int n) {
    ++calls;
    std::string s;
    port.ReceiveText(s, n);
    if (calls == 1) throw std::runtime_error("handler failed");
  };
  line->Receive("x", ev::RING);
  ASSERT_TRUE(PumpUntil([&] { return sink.Texts().size() == 1 && NoteCount() == 1; }));
  EXPECT_EQ(sink.Texts(), Strings{"handler failed"});
  EXPECT_EQ(Notes(), Strings{"Ring"});  // the rest of the batch still went out
  line->Receive("y");
  ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));

  // A failing dispatch query (InputQueueCount inside the hand-over).
  line->Fail("ClearCommError", winerr::kGenFailure);
  line->Receive("z");
  ASSERT_TRUE(PumpUntil([&] { return sink.Texts().size() == 2; }));
  EXPECT_EQ(sink.Codes().back(), 10);
  line->Receive("w");
  ASSERT_TRUE(PumpUntil([&] { return calls == 3; }));
  port.ClosePort();
  EXPECT_FALSE(line->IsOpen());
}

TEST_F(ThreadTest, ExceptionsFromHandlersOnTheEventThreadReachTheGuiThreadToo) {
  Watchdog dog("sync none exceptions");
  ErrorSink sink;
  port.SetSyncMethod(smNone);
  port.OpenPort();
  std::atomic<int> calls = 0;
  port.OnRing = [&](QObject*) {
    if (++calls == 1) throw std::runtime_error("ring failed");
  };
  line->RaiseEvents(ev::RING);
  ASSERT_TRUE(PumpUntil([&] { return sink.Texts().size() == 1; }));
  line->RaiseEvents(ev::RING);
  ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
  port.ClosePort();
}

TEST_F(ThreadTest, ClosingWhileABatchIsHandedOverRunsItFromTheCloseAndNeverLater) {
  for (TSyncMethod sync : {smThreadSync, smWindowSync}) {
    SCOPED_TRACE(int(sync));
    Watchdog dog("close during hand-over");
    PostCounter posted;
    port.SetGuiPoster(posted.Poster());
    port.SetSyncMethod(sync);
    port.OpenPort();
    RecordAll();
    port.OnBeforeClose = [&](QObject*) { std::lock_guard l(m); notes.push_back("BeforeClose"); };
    port.OnAfterClose = [&](QObject*) { std::lock_guard l(m); notes.push_back("AfterClose"); };
    port.OnCTSChange = nullptr;
    port.OnDSRChange = nullptr;
    port.OnRLSDChange = nullptr;
    TakeNotes();
    ASSERT_TRUE(line->WaitUntilWaiting());
    line->Receive("abc", ev::RING);
    // The thread hands the batch over; the GUI thread has not taken it.
    ASSERT_TRUE(posted.WaitFor(1));
    port.ClosePort();
    Strings closed = TakeNotes();
    EXPECT_EQ(closed, (Strings{"BeforeClose", "RxChar3", "Ring", "AfterClose"}));
    QCoreApplication::processEvents();  // the queued hand-over arrives and finds nothing
    EXPECT_TRUE(Notes().empty());
    EXPECT_FALSE(line->IsOpen());
    line->ClearCalls();
  }
}

TEST_F(ThreadTest, NothingArrivesAfterClosePortReturnsWhileTheFarSideFloods) {
  for (TSyncMethod sync : {smThreadSync, smWindowSync, smNone}) {
    SCOPED_TRACE(int(sync));
    Watchdog dog("flood and close");
    port.SetSyncMethod(sync);
    std::atomic<bool> closed = false, late = false, stop = false;
    std::atomic<int> delivered = 0;
    port.OnRxChar = [&](QObject*, int n) {
      if (closed) late = true;
      std::string s;
      port.ReceiveText(s, n);
      ++delivered;
    };
    port.OnRing = [&](QObject*) {
      if (closed) late = true;
    };
    for (int round = 0; round < 20; ++round) {
      port.OpenPort();
      std::thread far([&] {
        while (!stop) {
          line->Receive("data");
          line->RaiseEvents(ev::RING);
          std::this_thread::yield();
        }
      });
      PumpFor(2);
      port.ClosePort();
      closed = true;
      PumpFor(5);
      stop = true;
      far.join();
      stop = false;
      closed = false;
    }
    EXPECT_FALSE(late);
    EXPECT_GT(delivered, 0);
  }
}

TEST_F(ThreadTest, AHandlerMayCloseItsOwnPort) {
  for (TSyncMethod sync : {smThreadSync, smWindowSync, smNone}) {
    SCOPED_TRACE(int(sync));
    Watchdog dog("close from handler");
    port.SetSyncMethod(sync);
    port.OpenPort();
    std::atomic<bool> closedInside = false, afterClose = false;
    std::atomic<int> rings = 0;
    port.OnRxChar = [&](QObject*, int) {
      port.ClosePort();
      closedInside = !port.Connected();
    };
    port.OnRing = [&](QObject*) { ++rings; };  // same batch, after the close: dropped
    port.OnAfterClose = [&](QObject*) { afterClose = true; };
    line->Receive("x", ev::RING);
    ASSERT_TRUE(PumpUntil([&] { return closedInside.load(); }));
    EXPECT_TRUE(afterClose);
    EXPECT_FALSE(port.Connected());
    ASSERT_TRUE(PumpUntil([&] { return !line->IsOpen(); }));  // the thread has let go of the device
    PumpFor(20);
    EXPECT_EQ(rings, 0);
    // And the port opens again.
    port.OnRxChar = nullptr;
    port.OnAfterClose = nullptr;
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    port.ClosePort();
    line->ClearCalls();
  }
}

TEST_F(ThreadTest, AHandlerMayDestroyItsPort) {
  for (TSyncMethod sync : {smThreadSync, smWindowSync}) {
    SCOPED_TRACE(int(sync));
    Watchdog dog("destroy from handler");
    auto* own = new TComPort;
    own->SetDeviceOpener(line->Opener());
    own->SetSyncMethod(sync);
    own->OpenPort();
    bool destroyed = false;
    QObject::connect(own, &QObject::destroyed, [&] { destroyed = true; });
    int rings = 0;
    own->OnRxChar = [&](QObject* sender, int) { delete static_cast<TComPort*>(sender); };
    own->OnRing = [&](QObject*) { ++rings; };
    line->Receive("x", ev::RING);
    ASSERT_TRUE(PumpUntil([&] { return destroyed; }));
    PumpFor(20);
    EXPECT_EQ(rings, 0);
    EXPECT_FALSE(line->IsOpen());
  }
}

TEST_F(ThreadTest, HandlersRunInsideNestedEventLoops) {
  Watchdog dog("nested loop");
  port.OpenPort();
  bool inNested = false, ranNested = false;
  port.OnRxChar = [&](QObject*, int n) {
    std::string s;
    port.ReceiveText(s, n);
    if (inNested) ranNested = true;
  };
  // A handler of a queued call (as a dialog's opening handler) that waits
  // in its own event loop, as the program's delay does.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&] {
        inNested = true;
        QEventLoop loop;
        QTimer deadline;
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(3000);
        std::thread far([&] {
          std::this_thread::sleep_for(20ms);
          line->Receive("answer");
        });
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
          if (ranNested) loop.quit();
        });
        check.start(2);
        loop.exec();
        far.join();
        inNested = false;
      },
      Qt::QueuedConnection);
  ASSERT_TRUE(PumpUntil([&] { return ranNested; }));
  port.ClosePort();
}

TEST_F(ThreadTest, AVanishedDeviceEndsTheThreadWithoutSpinningAndTheCloseStillWorks) {
  Watchdog dog("vanish");
  ErrorSink sink;
  port.OpenPort();
  ASSERT_TRUE(line->WaitUntilWaiting());
  line->Vanish(winerr::kIoDevice);
  ASSERT_TRUE(PumpUntil([&] { return !sink.Texts().empty(); }));
  EXPECT_EQ(sink.Texts(), Strings{"WaitForEvent method failed (win error code: 1117)"});
  ASSERT_TRUE(WaitUntil([&] { return ThreadEnded(*line); }));
  EXPECT_EQ(line->WaitsStarted(), 1);  // it ended after one wait: no spin
  EXPECT_TRUE(port.Connected());
  line->ClearCalls();
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(line->IsOpen());
  EXPECT_EQ(line->Commands(), (Strings{"PurgeComm(0x3)", "Close"}));
}

// The other order of a lost device: a caller meets it before the GUI thread
// has taken the event thread's report. The caller's error is the message;
// the report is dropped. So is a report whose port has been closed since.
TEST_F(ThreadTest, AReportOfALossThatACallerMetFirstOrOfAClosedPortIsDropped) {
  Watchdog dog("loss, caller first");
  ErrorSink display;
  port.OpenPort();
  ASSERT_TRUE(line->WaitUntilWaiting());
  line->Vanish(winerr::kIoDevice);
  ASSERT_TRUE(WaitUntil([&] { return ThreadEnded(*line); }));  // its report is posted
  try {
    port.SendText(" ");
    ADD_FAILURE() << "a send on a vanished device succeeded";
  } catch (const EComPort& e) {
    EXPECT_FALSE(e.AlreadyReported());
    display.ShowCaught(std::current_exception());
  }
  QCoreApplication::processEvents();  // the report arrives
  EXPECT_EQ(display.Texts(), Strings{"WriteFile function failed (win error code: 1117)"});
  port.ClosePort();

  port.OpenPort();
  ASSERT_TRUE(line->WaitUntilWaiting());
  line->Vanish(winerr::kIoDevice);
  ASSERT_TRUE(WaitUntil([&] { return ThreadEnded(*line); }));
  port.ClosePort();  // closed before the GUI thread took the report
  QCoreApplication::processEvents();
  EXPECT_EQ(display.Count(), 1u);
}

TEST_F(ThreadTest, ClosingFromAnotherPortsHandlerRunsThatPortsPendingBatch) {
  Watchdog dog("cross close");
  auto other = FakeLine::Create();
  PostCounter postedA, postedB;
  TComPort b;
  b.SetGuiPoster(postedB.Poster());
  port.SetGuiPoster(postedA.Poster());
  b.SetDeviceOpener(other->Opener());
  b.SetEvents({evRing});
  b.OpenPort();
  port.SetEvents({evRing});
  port.OpenPort();
  Strings order;
  b.OnRing = [&](QObject*) { order.push_back("b ring"); };
  port.OnRing = [&](QObject*) {
    order.push_back("a ring");
    // b's batch waits in the queue behind this one; closing b runs it now.
    b.ClosePort();
    order.push_back("b closed");
  };
  ASSERT_TRUE(line->WaitUntilWaiting());
  ASSERT_TRUE(other->WaitUntilWaiting());
  line->RaiseEvents(ev::RING);
  ASSERT_TRUE(postedA.WaitFor(1));
  other->RaiseEvents(ev::RING);
  ASSERT_TRUE(postedB.WaitFor(1));
  ASSERT_TRUE(PumpUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (Strings{"a ring", "b ring", "b closed"}));
  port.ClosePort();
}
