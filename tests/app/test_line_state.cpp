// The line's state that the command channel keeps: a failed port ends every
// exchange of its opening and a new opening starts clean; the receiver's
// serial number follows the read-outs and the verified writes, and the
// write log names it.
#include <QMessageBox>
#include <QTimer>

#include "ReceiverTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "link/Channel.h"
#include "params/Parametry.h"
#include "serial/ComPort.h"

namespace {

using LineState = ReceiverTest;

// Closes every error box that opens, counting them.
struct ErrorBoxes {
  int count = 0;
  QTimer poll;
  ErrorBoxes() {
    QObject::connect(&poll, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
        ++count;
        box->button(QMessageBox::Ok)->click();
      }
    });
    poll.start(5);
  }
};

bool ReadOutDone(TForm* f) { return ActiveModal() == f && f->Running(); }

bool ReceiverButtons() { return ZOV->Params->isEnabled() && ZOV->Tim->isEnabled() && ZOV->Monitor->isEnabled(); }

}  // namespace

// The main window's status line and receiver buttons follow it too.
TEST_F(LineState, AFailureOutsideAWaitEndsTheNextExchangeAndANewOpeningStartsClean) {
  StartLoggedIn();
  EXPECT_EQ(Channel().State(), TLineState::LoggedIn);
  const QString port = QString::fromStdString(Rx().PortName() + " (" + Rx().DevicePath() + ")");
  EXPECT_EQ(ZOV->Stav->Caption(), port + QStringLiteral(" · přihlášeno"));
  Channel().SetReceiverSerial(4660);
  EXPECT_EQ(ZOV->Stav->Caption(), port + QStringLiteral(" · výrobní číslo 4660 · přihlášeno"));
  ErrorBoxes boxes;
  // Lost while nothing waits: the event thread reports it, once.
  Rx().Vanish();
  ASSERT_TRUE(WaitUntil([&] { return Channel().State() == TLineState::Lost && boxes.count == 1; }));
  EXPECT_EQ(ZOV->Stav->Caption(), port + QStringLiteral(" · výrobní číslo 4660 · spojení ztraceno – připojte znovu"));
  EXPECT_FALSE(ZOV->Params->isEnabled() || ZOV->Tim->isEnabled() || ZOV->Monitor->isEnabled());
  std::vector<std::string> sent;
  const auto watch = QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& b) { sent.push_back(b); });
  for (int i = 0; i < 2; ++i) {
    try {
      SendAndWait("\r", 100);
      ADD_FAILURE() << "an exchange on the failed opening went ahead";
    } catch (const EComPort& e) {
      EXPECT_TRUE(e.AlreadyReported()) << e.what();
    }
  }
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(boxes.count, 1);

  // Another receiver on a new opening: the old failure is gone.
  sim::Options options = Unpaced();
  options.resetOnStart = true;
  sim::Receiver other(options);
  other.Start();
  ASSERT_EQ(LogInOn(other), "");
  EXPECT_EQ(Channel().State(), TLineState::LoggedIn);
  EXPECT_EQ(ZOV->Stav->Caption(), QString::fromStdString(other.PortName() + " (" + other.DevicePath() + ")") +
                                      QStringLiteral(" · přihlášeno"));
  EXPECT_TRUE(ReceiverButtons());
  RxText().Clear();
  EXPECT_NO_THROW(SendAndWait("\r", 300));
  EXPECT_TRUE(RxText().Contains("CMD>"));
  QObject::disconnect(watch);
  EXPECT_EQ(sent.front(), " ");  // the new login's first space went out
  EXPECT_EQ(boxes.count, 1);
}

// A failure reported while a wait runs ends it at once (one that ran on to
// its end would run into the watchdog), with the port's error told once.
TEST_F(LineState, AFailureDuringAWaitEndsItAtOnce) {
  StartLoggedIn();
  ErrorBoxes boxes;
  QTimer::singleShot(50, [this] { Rx().Vanish(); });
  try {
    SendAndWait("\r", 3600 * 1000);
    ADD_FAILURE() << "the wait outlived the port";
  } catch (const EComPort&) {
  }
  EXPECT_TRUE(WaitUntil([&] { return boxes.count == 1; }));
  EXPECT_EQ(Channel().State(), TLineState::Lost);
}

// A technician changes a receiver's serial number in service mode: the
// clock write after it is recorded under the new number; a new opening of
// the port forgets it.
TEST_F(LineState, TheReceiversSerialFollowsTheReadOutAndTheVerifiedWrite) {
  StartLoggedIn();
  EXPECT_EQ(Channel().ReceiverSerial(), std::nullopt);
  Script s;
  s.Then("the read-out", [] { return ReadOutDone(Parametry) && Parametry->Button1->isEnabled(); },
         [] {
           EXPECT_EQ(Channel().ReceiverSerial(), 4660);
           Parametry->Ser2->setText(QStringLiteral("53"));  // 18 * 256 + 53
           Parametry->Button1->click();
         })
      .Then("verified", [] { return ActiveModal() == Chyba; }, [] { Chyba->Button1->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }, 60000));
  EXPECT_EQ(Channel().ReceiverSerial(), 4661);
  Script s2;
  s2.Then("the clock read", [] { return ReadOutDone(SetTim) && SetTim->Button2->isEnabled(); },
          [] { SetTim->Button3->click(); })
      .Then("verified", [] { return ActiveModal() == Chyba; }, [] { Chyba->Button1->click(); });
  ASSERT_TRUE(s2.Run([] { ZOV->Tim->click(); }, 60000));
  const std::string log = WriteLogText();
  EXPECT_NE(log.find("parametry  " + Rx().PortName() + "  výrobní číslo 4660  ověřeno\n"), std::string::npos) << log;
  EXPECT_NE(log.find("hodiny  " + Rx().PortName() + "  výrobní číslo 4661  ověřeno\n"), std::string::npos) << log;

  Channel().Port().ClosePort();
  Channel().Port().OpenPort();
  EXPECT_EQ(Channel().ReceiverSerial(), std::nullopt);
  EXPECT_EQ(Channel().State(), TLineState::NotConnected);
}
