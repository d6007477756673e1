// The GUI thread's own watch on received bytes, on a pseudo-terminal: when
// it is used, that every byte is still announced exactly as the event
// thread would, and that handlers neither nest nor make the watch spin.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "CpuTime.h"
#include "PtyHelper.h"
#include "QtPump.h"
#include "Watchdog.h"
#include "serial/ComPort.h"
#include "serial/PortMap.h"

using namespace std::chrono_literals;

namespace {

class InputWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serial::PublishPort(4, pty.SlavePath());
    Configure(*port);
  }
  static void Configure(TComPort& p) {
    p.SetPort("COM4");
    p.SetDiscardNull(true);  // the program's configuration
    p.SetEvents({evRxChar, evRing});
  }
  // A handler that reads what it is told of into got.
  void Collect() {
    port->OnRxChar = [this](QObject*, int n) {
      std::string s;
      port->ReceiveText(s, n);
      got += s;
    };
  }

  TempConfigHome home;
  TestPty pty;
  std::unique_ptr<TComPort> port = std::make_unique<TComPort>();
  std::string got;
};

TEST_F(InputWatchTest, OnlyTheProgramsKindOfPortIsWatchedAndEveryKindReceives) {
  struct Case {
    const char* name;
    std::function<void(TComPort&)> setup;
    bool watched;
  };
  const Case cases[] = {
      {"program", [](TComPort&) {}, true},
      {"window sync", [](TComPort& p) { p.SetSyncMethod(smWindowSync); }, false},
      {"no rx event", [](TComPort& p) { p.SetEvents({evRing, evTxEmpty}); }, false},
      {"xon/xoff input", [](TComPort& p) { p.FlowControl().SetXonXoffIn(true); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    port = std::make_unique<TComPort>();
    Configure(*port);
    c.setup(*port);
    got.clear();
    Collect();
    port->OpenPort();
    EXPECT_EQ(port->WatchesInput(), c.watched);
    pty.WriteAll("abc");
    if (port->Events().Contains(evRxChar)) {
      EXPECT_TRUE(PumpUntil([&] { return got == "abc"; }, 3000)) << got;
    } else {
      PumpFor(50);
      EXPECT_EQ(got, "");  // not asked for
      std::string s;
      port->ReceiveText(s, 10);
      EXPECT_EQ(s, "abc");
    }
    port->ClosePort();
    EXPECT_FALSE(port->WatchesInput());
  }
}

TEST_F(InputWatchTest, BytesAQueryTookFromTheDriverAreStillAnnounced) {
  Watchdog dog("query leftovers");
  std::vector<int> counts;
  port->OnRxChar = [&](QObject*, int n) {
    counts.push_back(n);
    if (counts.size() == 1) {
      // More comes while the handler runs; a query takes it from the
      // driver, and the handler reads only what it was told of.
      pty.WriteAll("def");
      std::this_thread::sleep_for(20ms);
      EXPECT_EQ(port->InputQueueCount(), n + 3);
    }
    std::string s;
    port->ReceiveText(s, n);
    got += s;
  };
  port->OpenPort();
  ASSERT_TRUE(port->WatchesInput());
  pty.WriteAll("abc");
  EXPECT_TRUE(PumpUntil([&] { return got.size() == 6; }, 3000)) << got;
  EXPECT_EQ(got, "abcdef");
  EXPECT_EQ(counts, (std::vector<int>{3, 3}));
  port->ClosePort();
}

TEST_F(InputWatchTest, AHandlersOwnEventLoopNeitherNestsNotificationsNorSpins) {
  Watchdog dog("nested loop");
  int depth = 0, deepest = 0, calls = 0;
  double cpu = 0;
  port->OnRxChar = [&](QObject*, int n) {
    ++calls;
    deepest = std::max(deepest, ++depth);
    std::string s;
    port->ReceiveText(s, n);
    got += s;
    if (calls == 1) {
      pty.WriteAll("more");  // waits in the driver while the loop below runs
      const double before = CpuSeconds();
      PumpFor(300);
      cpu = CpuSeconds() - before;
    }
    --depth;
  };
  port->OpenPort();
  ASSERT_TRUE(port->WatchesInput());
  pty.WriteAll("first");
  EXPECT_TRUE(PumpUntil([&] { return got == "firstmore"; }, 3000)) << got;
  EXPECT_EQ(deepest, 1);
  EXPECT_LT(cpu, 0.15);  // the watch slept instead of firing again and again
  port->ClosePort();
}

TEST_F(InputWatchTest, SwitchingOnInputFlowControlHandsTheInputToTheEventThread) {
  Collect();
  port->OpenPort();
  ASSERT_TRUE(port->WatchesInput());
  port->FlowControl().SetXonXoffIn(true);  // applied to the open port
  pty.WriteAll("after");
  EXPECT_TRUE(PumpUntil([&] { return got == "after"; }, 3000)) << got;
  EXPECT_FALSE(port->WatchesInput());
  pty.WriteAll("+again");
  EXPECT_TRUE(PumpUntil([&] { return got == "after+again"; }, 3000)) << got;
  port->ClosePort();
}

TEST_F(InputWatchTest, AWatchedHandlerMayCloseOrDestroyItsPort) {
  Watchdog dog("close from handler");
  int calls = 0;
  port->OnRxChar = [&](QObject*, int) {
    ++calls;
    port->ClosePort();
  };
  port->OpenPort();
  pty.WriteAll("x");
  ASSERT_TRUE(PumpUntil([&] { return calls == 1; }, 3000));
  EXPECT_FALSE(port->Connected());
  pty.WriteAll("y");
  PumpFor(50);
  EXPECT_EQ(calls, 1);  // nothing after the close

  // Reopened, the watch works again.
  got.clear();
  Collect();
  port->OpenPort();
  ASSERT_TRUE(port->WatchesInput());
  pty.WriteAll("z");
  EXPECT_TRUE(PumpUntil([&] { return got.find('z') != std::string::npos; }, 3000)) << got;

  port->OnRxChar = [&](QObject*, int) { port.reset(); };
  pty.WriteAll("w");
  EXPECT_TRUE(PumpUntil([&] { return port == nullptr; }, 3000));
  PumpFor(20);  // the notifier that delivered is deleted by now
}

}  // namespace
