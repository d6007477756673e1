// The component's own threads without Qt's event loop (also run under
// ThreadSanitizer): the hand-over slot, and ports on the recording fake with
// a plain GUI-thread stand-in and with smNone.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ErrorSink.h"
#include "FakeComDevice.h"
#include "GuiQueue.h"
#include "Watchdog.h"
#include "serial/ComPort.h"
#include "serial/ComHandOver.h"

using namespace std::chrono_literals;

namespace {

// The hand-over alone: an "event thread" delivering to a GuiQueue.
struct HandOverRig {
  GuiQueue gui;
  std::shared_ptr<TComHandOver> h = std::make_shared<TComHandOver>(
      [this](std::shared_ptr<TComHandOver> self) { gui.Poster()([self] { self->RunPending(); }); });
};

}  // namespace

TEST(HandOver, DeliverBlocksUntilTheGuiSideRanTheJob) {
  Watchdog dog("hand-over sequence");
  HandOverRig rig;
  int shared = 0;  // touched by both sides, ordered by the hand-over alone
  std::thread events([&] {
    for (int i = 0; i < 2000; ++i) {
      rig.h->Deliver([&] { ++shared; });
      EXPECT_EQ(shared, i + 1);
    }
    rig.h->MarkFinished();
  });
  for (int i = 0; i < 2000; ++i) ASSERT_TRUE(rig.gui.RunOne());
  events.join();
  EXPECT_EQ(shared, 2000);
}

TEST(HandOver, TheClosesWaitRunsAPendingJobExactlyOnceAndLateCallsFindNothing) {
  Watchdog dog("hand-over close");
  HandOverRig rig;
  std::atomic<int> runs = 0;
  std::atomic<bool> stop = false;
  std::thread events([&] {
    rig.h->Deliver([&] { ++runs; });
    while (!stop) std::this_thread::yield();
    rig.h->MarkFinished();
  });
  ASSERT_TRUE(rig.gui.WaitPosted(1));
  stop = true;
  rig.h->WaitFinished();  // runs the pending job itself
  events.join();
  EXPECT_EQ(runs, 1);
  rig.gui.RunAll();  // the queued call arrives late: nothing to do
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(rig.h->RunPending());
  EXPECT_TRUE(rig.h->Cancelled());
}

TEST(HandOver, ACloseFromInsideTheRunningJobReleasesTheEventThread) {
  Watchdog dog("hand-over nested close");
  HandOverRig rig;
  std::atomic<bool> stop = false;
  bool sawCancel = false;
  std::thread events([&] {
    rig.h->Deliver([&] {
      stop = true;
      rig.h->WaitFinished();  // would deadlock without the release
      sawCancel = rig.h->Cancelled();
    });
    while (!stop) std::this_thread::yield();
    rig.h->MarkFinished();
  });
  ASSERT_TRUE(rig.gui.RunOne());
  events.join();
  EXPECT_TRUE(sawCancel);
}

TEST(HandOver, AThrowingJobIsReportedAndTheEventThreadGoesOn) {
  Watchdog dog("hand-over exception");
  ErrorSink sink;
  HandOverRig rig;
  std::thread events([&] {
    rig.h->Deliver([] { throw std::runtime_error("x"); });
    rig.h->Deliver([] {});
    rig.h->MarkFinished();
  });
  ASSERT_TRUE(rig.gui.RunOne());
  ASSERT_TRUE(rig.gui.RunOne());
  events.join();
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"x"});
}

TEST(PortThreads, ThreadSyncOnAPlainGuiThreadDeliversInOrderAndClosesCleanly) {
  Watchdog dog("thread sync plain gui");
  auto line = FakeLine::Create();
  GuiQueue gui;
  TComPort port;
  port.SetDeviceOpener(line->Opener());
  port.SetGuiPoster(gui.Poster());
  port.SetEvents({evRxChar, evRing});
  std::string got;
  bool closed = false, late = false;
  port.OnRxChar = [&](QObject*, int n) {
    if (closed) late = true;
    std::string s;
    port.ReceiveText(s, n);
    got += s;
  };
  for (int round = 0; round < 50; ++round) {
    closed = false;
    port.OpenPort();
    got.clear();
    std::string sent;
    for (int i = 0; i < 20; ++i) sent += std::to_string(round) + ":" + std::to_string(i) + ";";
    std::thread far([&] {
      for (size_t i = 0; i < sent.size(); i += 4) line->Receive(sent.substr(i, 4));
    });
    for (int i = 0; i < 5; ++i) gui.RunOne(2);
    far.join();
    port.ClosePort();  // runs a batch still being handed over
    closed = true;
    gui.RunAll();      // late queued calls: nothing to do
    // Read in order; what was still queued at the close was purged.
    EXPECT_EQ(sent.substr(0, got.size()), got) << round;
  }
  EXPECT_FALSE(late);
  EXPECT_FALSE(line->IsOpen());
}

TEST(PortThreads, NoneDeliversOnTheEventThreadWhileOpenCloseCyclesRun) {
  Watchdog dog("sync none cycles");
  auto line = FakeLine::Create();
  TComPort port;
  port.SetDeviceOpener(line->Opener());
  port.SetSyncMethod(smNone);
  std::atomic<int> calls = 0;
  std::atomic<bool> closed = false, late = false;
  port.OnRxChar = [&](QObject*, int n) {
    if (closed) late = true;
    std::string s;
    port.ReceiveText(s, n);
    ++calls;
  };
  port.OnRing = [&](QObject*) {
    if (closed) late = true;
  };
  std::atomic<bool> stop = false;
  std::thread far([&] {
    while (!stop) {
      line->Receive("data", ev::RING);
      std::this_thread::yield();
    }
  });
  for (int round = 0; round < 300; ++round) {
    closed = false;
    port.OpenPort();
    std::this_thread::yield();
    port.ClosePort();
    closed = true;
  }
  stop = true;
  far.join();
  EXPECT_FALSE(late);
  EXPECT_FALSE(line->IsOpen());
}

TEST(PortThreads, NoneHandlerClosingItsOwnPortLeavesNothingBehind) {
  Watchdog dog("sync none self close");
  auto line = FakeLine::Create();
  auto port = std::make_unique<TComPort>();
  port->SetDeviceOpener(line->Opener());
  port->SetSyncMethod(smNone);
  std::atomic<bool> done = false;
  port->OnRxChar = [&](QObject* sender, int) {
    static_cast<TComPort*>(sender)->ClosePort();
    done = true;
  };
  port->OpenPort();
  line->Receive("x");
  for (int i = 0; i < 5000 && !done; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(done);
  port.reset();
  for (int i = 0; i < 5000 && line->IsOpen(); ++i) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(line->IsOpen());
}

// A device lost while the GUI thread keeps sending: the event thread's
// failed wait and the failing send race to report it, and the user hears of
// it once, whichever wins.
TEST(PortThreads, ALostDeviceIsReportedOnceWhicheverThreadMeetsItFirst) {
  Watchdog dog("loss reported once");
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    auto line = FakeLine::Create();
    GuiQueue gui;
    ErrorSink display;
    TComPort port;
    port.SetDeviceOpener(line->Opener());
    port.SetGuiPoster(gui.Poster());
    port.OpenPort();
    ASSERT_TRUE(line->WaitUntilWaiting());
    std::thread far([&] { line->Vanish(winerr::kIoDevice); });
    for (;;) {
      try {
        port.SendText(" ");
      } catch (const EComPort&) {
        display.ShowCaught(std::current_exception());
        break;
      }
    }
    far.join();
    // The event thread empties the queues on its way out, after its report.
    for (int i = 0; i < 5000 && line->Count("PurgeComm(0xc)") == 0; ++i) std::this_thread::sleep_for(1ms);
    port.ClosePort();
    EXPECT_EQ(display.Count(), 1u);
  }
}
