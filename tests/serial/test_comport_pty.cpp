// The port on a real line: a pseudo-terminal whose slave is published as a
// COM name in a port map of the test's own, the test on the master side.
#include <gtest/gtest.h>

#include <termios.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <QTimer>

#include <dirent.h>

#include "CpuTime.h"
#include "ErrorSink.h"
#include "PtyHelper.h"
#include "QtPump.h"
#include "Watchdog.h"
#include "serial/ComPort.h"
#include "portmap/PortMap.h"

using namespace std::chrono_literals;

namespace {

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serial::PublishPort(3, pty.SlavePath());
    port.SetPort("COM3");
    port.SetDiscardNull(true);  // the program's configuration
    port.SetEvents({evRxChar, evRing});
  }

  // A far side writing `data` in chunks from a thread of its own.
  std::thread Flood(const std::string& data, size_t chunk = 997) {
    return std::thread([this, data, chunk] {
      for (size_t i = 0; i < data.size(); i += chunk) pty.WriteAll(data.substr(i, chunk));
    });
  }

  TempConfigHome home;
  TestPty pty;
  TComPort port;
};

// A far side that writes as fast as the line takes it until destroyed.
class FarFlood {
 public:
  explicit FarFlood(TestPty& pty)
      : thread_([this, &pty] {
          const std::string chunk(512, 'a');
          while (!stop_) {
            if (pty.WriteSome(chunk) == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
          }
        }) {}
  ~FarFlood() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

// The process's open file descriptors.
size_t OpenDescriptors() {
  size_t n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

}  // namespace

TEST_F(PtyPortTest, TheLineIsConfiguredAndBytesGoBothWays) {
  Watchdog dog("pty basics");
  port.OpenPort();
  termios t{};
  ASSERT_EQ(tcgetattr(pty.Master(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_lflag & ICANON, 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);

  EXPECT_EQ(port.SendText("e\r"), 2);
  std::string far;
  for (int i = 0; i < 50 && far.size() < 2; ++i) far += pty.ReadSome(100);
  EXPECT_EQ(far, "e\r");

  // ReceiveText never waits for data (a read that did would wait for ever:
  // the watchdog ends it).
  std::string text = "x";
  EXPECT_EQ(port.ReceiveText(text, 100), 0);
  EXPECT_EQ(text, "");

  std::string got;
  port.OnRxChar = [&](QObject*, int n) {
    std::string s;
    port.ReceiveText(s, n);
    got += s;
  };
  pty.WriteAll(std::string("CMD>\0\0ok", 8));
  ASSERT_TRUE(PumpUntil([&] { return got.size() >= 6; }));
  EXPECT_EQ(got, "CMD>ok");  // NULs dropped
  port.ClosePort();
}

TEST_F(PtyPortTest, AMegabyteFloodArrivesCompleteAndInOrderThroughOnRxChar) {
  Watchdog dog("flood", 60s);
  std::string data(1 << 20, '\0');
  std::string expected;
  expected.reserve(data.size());
  uint32_t x = 12345;
  for (char& c : data) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
    if (c) expected.push_back(c);
  }
  std::string got;
  long counted = 0;
  int calls = 0, zeroCounts = 0;
  port.OnRxChar = [&](QObject*, int n) {
    ++calls;
    if (n <= 0) ++zeroCounts;
    counted += n;
    std::string s;
    const int k = port.ReceiveText(s, n);
    EXPECT_EQ(k, static_cast<int>(s.size()));
    got += s;
  };
  port.OpenPort();
  std::thread far = Flood(data);
  const bool complete = PumpUntil([&] { return got.size() >= expected.size(); }, 45000);
  far.join();
  EXPECT_TRUE(complete) << got.size() << " of " << expected.size();
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected) << "received bytes differ from those sent";
  EXPECT_EQ(zeroCounts, 0);
  // Every byte counted was read: the counts add up to what arrived.
  EXPECT_EQ(counted, static_cast<long>(got.size()));
  EXPECT_GT(calls, 0);
  port.ClosePort();
}

TEST_F(PtyPortTest, NothingArrivesAfterClosePortWhileTheFarSideFloods) {
  Watchdog dog("close under flood", 60s);
  std::atomic<bool> closed = false, late = false;
  std::atomic<int> delivered = 0;
  port.OnRxChar = [&](QObject*, int n) {
    if (closed) late = true;
    std::string s;
    port.ReceiveText(s, n);
    ++delivered;
  };
  FarFlood far(pty);
  for (int round = 0; round < 30; ++round) {
    closed = false;
    port.OpenPort();
    PumpFor(3);
    port.ClosePort();
    closed = true;
    PumpFor(2);
  }
  EXPECT_FALSE(late);
  EXPECT_GT(delivered, 0);
}

TEST_F(PtyPortTest, AThousandOpenCloseCyclesUnderAFloodNeverHangNorLeak) {
  Watchdog dog("open/close cycles", 90s);
  port.OnRxChar = [&](QObject*, int n) {
    std::string s;
    port.ReceiveText(s, n);
  };
  const size_t fdsBefore = OpenDescriptors();
  {
    FarFlood far(pty);
    for (int i = 0; i < 1000; ++i) {
      port.OpenPort();
      if (i % 50 == 0) PumpFor(1);
      port.ClosePort();
    }
  }
  // Every open took the device and four eventfds; every close gave them back.
  EXPECT_EQ(OpenDescriptors(), fdsBefore);
  // And the line is free and works: another port takes it and receives.
  TComPort other;
  other.SetPort("COM3");
  std::string got;
  other.OnRxChar = [&](QObject*, int n) {
    std::string s;
    other.ReceiveText(s, n);
    got += s;
  };
  other.OpenPort();
  std::string stale;
  other.ReceiveText(stale, 1 << 20);  // what the flood left
  got.clear();
  pty.WriteAll("ok");
  EXPECT_TRUE(PumpUntil([&] { return got.find("ok") != std::string::npos; })) << got.size();
}

TEST_F(PtyPortTest, ASecondOpenOfTheSamePortIsRefused) {
  port.OpenPort();
  TComPort second;
  second.SetPort("COM3");
  try {
    second.OpenPort();
    FAIL() << "the second open succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode(), 1);
    EXPECT_EQ(std::string(e.what()).rfind("Unable to open com port (win error code: ", 0), 0u) << e.what();
  }
  EXPECT_FALSE(second.Connected());
  port.ClosePort();
  second.OpenPort();  // free again
  EXPECT_TRUE(second.Connected());
}

TEST_F(PtyPortTest, TheFarSideVanishingEndsTheWaitWithoutSpinningAndCloseStillWorks) {
  Watchdog dog("vanish");
  ErrorSink display;
  std::string got;
  port.OnRxChar = [&](QObject*, int n) {
    std::string s;
    port.ReceiveText(s, n);
    got += s;
  };
  const size_t fdsBefore = OpenDescriptors();
  port.OpenPort();
  pty.WriteAll("last words");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 10; }));
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return display.Count() == 1; }));
  EXPECT_EQ(display.Codes(), std::vector<int>{21});
  // No spin: the process stays idle while the port sits on a dead line.
  const double before = CpuSeconds();
  PumpFor(300);
  EXPECT_LT(CpuSeconds() - before, 0.15);
  // The close neither hangs nor fails on the dead device, and lets go of it.
  port.ClosePort();
  EXPECT_EQ(display.Count(), 1u);
  EXPECT_EQ(OpenDescriptors(), fdsBefore - 1);  // all but the far side's end, closed above
}

// The reset dialog's polling as a user meets a pulled adapter: a send, a
// wait that keeps the event loop running, the adapter pulled meanwhile, the
// next send. The event thread reports the lost line; the send that meets it
// raises its error to its caller (which ends that handler), but the user is
// not told twice.
TEST_F(PtyPortTest, AnAdapterPulledDuringASendAndWaitIsReportedOnce) {
  Watchdog dog("pulled adapter");
  ErrorSink display;  // the sink, and (ShowCaught) the guard around handlers
  auto send = [&] {
    try {
      port.SendText(" ");
    } catch (const EComPort& e) {
      EXPECT_EQ(e.PortErrorCode(), 2);
      EXPECT_EQ(e.OsErrorCode(), winerr::kIoDevice);
      display.ShowCaught(std::current_exception());
      return false;
    }
    return true;
  };
  port.OpenPort();
  ASSERT_TRUE(send());
  QTimer::singleShot(20, [&] { pty.CloseMaster(); });
  ASSERT_TRUE(PumpUntil([&] { return display.Count() == 1; }));  // the wait
  EXPECT_EQ(display.Texts(), std::vector<std::string>{"WaitForEvent method failed (win error code: 1117)"});
  EXPECT_FALSE(send());  // the next poll fails, as its caller expects...
  PumpFor(50);
  EXPECT_EQ(display.Count(), 1u);  // ...and is not shown a second time
  // A later action of the user's meets the loss again, and hears of it.
  EXPECT_FALSE(send());
  EXPECT_EQ(display.Count(), 2u);
  port.ClosePort();
}
