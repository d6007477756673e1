// The program's serial port component talking to the simulated receiver:
// opened by the COM name the receiver published, it completes the login and
// a parameter read-out the way the program's dialogs drive them.
#include <QCoreApplication>
#include <QTest>

#include "SimTestSupport.h"
#include "TestWatchdog.h"
#include "serial/ComPort.h"

namespace {

using namespace simtest;

class ComPortWithSim : public PortMapFixture {
 protected:
  void SetUp() override {
    PortMapFixture::SetUp();
    port_.SetBaudRate(br9600);
    port_.SetDataBits(dbEight);
    port_.SetStopBits(sbOneStopBit);
    port_.Parity().SetBits(prNone);
    port_.FlowControl().SetFlowControl(fcNone);
    port_.SetDiscardNull(true);
    port_.SetEvents({evRxChar, evRing});
    port_.SetSyncMethod(smThreadSync);
    port_.OnRxChar = [this](QObject*, int count) {
      std::string chunk;
      port_.ReceiveText(chunk, count);
      text_ += chunk;
    };
  }
  void TearDown() override {
    port_.ClosePort();   // before the receiver goes, or the port sees its line vanish
    rx_.reset();
    PortMapFixture::TearDown();
  }
  sim::Receiver& StartReceiver(sim::Options o) {
    rx_ = std::make_unique<sim::Receiver>(std::move(o));
    rx_->Start();
    return *rx_;
  }
  // Sends, then keeps the event loop running until `needle` has arrived.
  bool Exchange(const std::string& send, const std::string& needle, int timeoutMs = 3000) {
    text_.clear();
    port_.SendText(send);
    if (needle.empty()) return true;
    return QTest::qWaitFor([&] { return text_.find(needle) != std::string::npos; }, timeoutMs);
  }
  std::unique_ptr<sim::Receiver> rx_;
  TComPort port_;
  std::string text_;
};

TEST_F(ComPortWithSim, LogsInAndReadsTheParameterSetByComName) {
  auto o = Fast();
  o.faults = {sim::Fault::Garbage, sim::Fault::Split};   // NULs and small writes on the way
  sim::Receiver& rx = StartReceiver(o);
  port_.SetPort(rx.PortName());
  port_.OpenPort();
  ASSERT_TRUE(port_.Connected());

  rx.PressReset();
  ASSERT_TRUE(Exchange(" ", "WORD:")) << text_;
  ASSERT_TRUE(Exchange("TREMO", "OP:")) << text_;
  ASSERT_TRUE(Exchange(std::string(1, '\x64'), "CMD>")) << text_;
  EXPECT_EQ(rx.OperatorCode(), 100);
  ASSERT_TRUE(Exchange("e", "CMD>")) << text_;
  EXPECT_EQ(text_.find('\0'), std::string::npos);   // the port dropped them
  EXPECT_EQ(CutFields(text_), rx.Params());
  EXPECT_EQ(rx.ReceivedText(), " TREMOde");
}

TEST_F(ComPortWithSim, PacedLineWritesAFrameByteByByte) {
  auto o = Fast();
  o.pacing = true;
  o.resetOnStart = true;
  sim::Receiver& rx = StartReceiver(o);
  port_.SetPort(rx.PortName());
  port_.OpenPort();
  ASSERT_TRUE(Exchange(" ", "WORD:"));
  ASSERT_TRUE(Exchange("TREMO", "OP:"));
  ASSERT_TRUE(Exchange("d", "CMD>"));
  sim::ParamSet p = sim::Receiver::DefaultParams();
  p[2] = 0;   // a NUL byte must go out too
  p[10] = 5;
  ASSERT_TRUE(Exchange("z", ""));
  for (int i = 0; i < sim::kFrameSize; ++i) port_.SendText(std::string(1, static_cast<char>(i < sim::kParamSize ? p[i] : 0xFF)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return text_.find("CMD>") != std::string::npos; }, 3000)) << text_;
  EXPECT_EQ(rx.FramesAccepted(), 1);
  EXPECT_EQ(rx.Params(), p);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
