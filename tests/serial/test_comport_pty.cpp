// The port on a real line: a pseudo-terminal whose slave is published as a
// COM name in a port map of the test's own, the test on the master side.
#include <gtest/gtest.h>

#include <termios.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CpuTime.h"
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

  // ReceiveText never waits for data.
  std::string text = "x";
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(port.ReceiveText(text, 100), 0);
  EXPECT_EQ(text, "");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);

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

TEST_F(PtyPortTest, AThousandOpenCloseCyclesUnderAFloodNeverHang) {
  Watchdog dog("open/close cycles", 90s);
  port.OnRxChar = [&](QObject*, int n) {
    std::string s;
    port.ReceiveText(s, n);
  };
  FarFlood far(pty);
  for (int i = 0; i < 1000; ++i) {
    port.OpenPort();
    if (i % 50 == 0) PumpFor(1);
    port.ClosePort();
  }
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(port.HasEventThread());
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
  std::vector<int> codes;
  SetApplicationErrorHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const EComPort& x) {
      codes.push_back(x.PortErrorCode());
    } catch (...) {
      codes.push_back(0);
    }
  });
  std::string got;
  port.OnRxChar = [&](QObject*, int n) {
    std::string s;
    port.ReceiveText(s, n);
    got += s;
  };
  port.OpenPort();
  pty.WriteAll("last words");
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 10; }));
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return !codes.empty(); }));
  EXPECT_EQ(codes.front(), 21);
  // No spin: the process stays idle while the port sits on a dead line.
  const double before = CpuSeconds();
  PumpFor(300);
  EXPECT_LT(CpuSeconds() - before, 0.15);
  EXPECT_TRUE(port.Connected());
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  SetApplicationErrorHandler(nullptr);
}
