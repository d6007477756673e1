// The command channel against the simulated receiver on a pseudo-terminal:
// what the receiver sends reaches the receive text through the main
// window's port and its receive handler, the activity counter steps, and
// send-and-wait drives a login and a prompt check.
#include <QPointer>
#include <QTimer>

#include "AppTest.h"
#include "app/Exit.h"
#include "app/Program.h"
#include "app/ZOV.h"
#include "link/Channel.h"
#include "link/ReceiveText.h"
#include "link/Sleeper.h"
#include "monitor/Mon.h"
#include "serial/ComPort.h"
#include "sim/Receiver.h"

namespace {

class WithReceiver : public WithForms {
 protected:
  void SetUp() override {
    sim::Options o;
    o.resetOnStart = true;  // waiting for the first space
    receiver = std::make_unique<sim::Receiver>(o);
    receiver->Start();
    WithForms::SetUp();
    ZOV->ComPort1->SetPort(receiver->PortName());
    ZOV->ComPort1->OpenPort();
  }
  void TearDown() override {
    WithForms::TearDown();
    receiver.reset();
  }

  // The login as the reset dialog does it: a space every 500 ms until
  // "WORD:", the password, then the operator code at "OP:".
  void LogIn() {
    RxText().Clear();
    for (int i = 0; i < 10 && !RxText().Contains("WORD:"); ++i) SendAndWait(" ", 500);
    ASSERT_TRUE(RxText().Contains("WORD:"));
    SendAndWait("TREMO", 0);
    RxText().Clear();
    ZOV->Sleeper1->Sleep(2000);
    ASSERT_TRUE(RxText().Contains("OP:"));
    SendAndWait(std::string(1, char(100)), 2000);
  }

  std::unique_ptr<sim::Receiver> receiver;
};

}  // namespace

TEST_F(WithReceiver, SendAndWaitLogsInAndFindsThePromptInTheReceiveText) {
  LogIn();
  EXPECT_EQ(receiver->OperatorCode(), 100);
  EXPECT_EQ(receiver->CurrentState(), sim::State::Command);

  RxText().Clear();
  EXPECT_EQ(SendAndWait("\r", 1000), 1);
  EXPECT_TRUE(RxText().Contains("CMD>")) << RxText().Text();
  // What the receiver sent went through the port's notifications: the
  // counter stepped and the monitor's indicator shows it.
  EXPECT_GT(Channel().Activity(), 0);
  EXPECT_EQ(Mon->Indik->Position(), Channel().Activity());
  // The monitor's memo shows the same text.
  Mon->Memo1->Flush();
  EXPECT_EQ(Mon->Memo1->document()->blockCount(), std::max(1, RxText().LineCount()));
}

TEST_F(WithReceiver, NulBytesNeverReachTheReceiveText) {
  LogIn();
  receiver->SetFault(sim::Fault::Garbage);  // noise with NUL bytes ahead of every reply
  RxText().Clear();
  SendAndWait("\r", 1000);
  ASSERT_TRUE(receiver->SentText().find('\0') != std::string::npos);
  EXPECT_TRUE(RxText().Contains("CMD>"));
  EXPECT_EQ(RxText().Text().find('\0'), std::string::npos);
}

TEST_F(WithReceiver, TheActivityCounterShows1000AndWrapsTo0Never1001) {
  // Each notification is one step, whatever it carries.
  Channel().ResetActivity();
  EXPECT_EQ(Mon->Indik->Position(), 0);
  int highest = 0;
  int wraps = 0;
  for (int i = 1; i <= 2500; ++i) {
    ZOV->ComPort1RxChar(ZOV->ComPort1, 1);
    const int a = Channel().Activity();
    highest = std::max(highest, a);
    if (a == 0) ++wraps;
    ASSERT_EQ(a, i % 1001) << "after " << i << " notifications";
    ASSERT_EQ(Mon->Indik->Position(), a);
  }
  EXPECT_EQ(highest, 1000);
  EXPECT_EQ(wraps, 2);
}

// A stop asked for during a wait ends it at once (a wait that did not end
// would run into the watchdog), and every send or wait after it, until it
// is cleared: nothing more goes out meanwhile.
TEST_F(WithReceiver, AStopEndsTheRunningWaitAndEveryExchangeUntilItIsCleared) {
  LogIn();
  std::string sent;
  QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& bytes) { sent += bytes; });
  QTimer::singleShot(50, [] { Channel().RequestStop(); });
  EXPECT_THROW(SendAndWait("\r", 3600 * 1000), EStopped);
  EXPECT_THROW(SendAndWait("e", 100), EStopped);
  EXPECT_THROW(Channel().Sleep(100), EStopped);
  EXPECT_EQ(sent, "\r");
  Channel().ClearStop();
  RxText().Clear();
  EXPECT_NO_THROW(SendAndWait("\r", 1000));
  EXPECT_TRUE(RxText().Contains("CMD>"));
}

// The program from start to "Ukončit program" and OK with its port open:
// the port is closed at the end, so the device can be opened again.
TEST(ProgramWithReceiver, EndingThroughTheExitConfirmationClosesTheOpenPort) {
  sim::Options o;
  sim::Receiver receiver(o);
  receiver.Start();
  QPointer<TComPort> port;
  bool opened = false;
  bool busyWhileOpen = false;
  Later([&] {
    port = ZOV->ComPort1;
    ZOV->ComPort1->SetPort(receiver.PortName());
    ZOV->ComPort1->OpenPort();
    opened = ZOV->ComPort1->Connected();
    try {
      TComPort other;
      other.SetPort(receiver.PortName());
      other.OpenPort();
    } catch (const EComPort&) {
      busyWhileOpen = true;  // the device is held exclusively
    }
    ZOV->Konec->click();
  });
  Later([&] { Exit->OK->click(); }, 50);
  EXPECT_EQ(RunProgram(), 0);
  EXPECT_TRUE(opened);
  EXPECT_TRUE(busyWhileOpen);
  EXPECT_TRUE(port.isNull());
  // Another port object can have the device now: it was released.
  TComPort again;
  again.SetPort(receiver.PortName());
  EXPECT_NO_THROW(again.OpenPort());
  again.ClosePort();
}
