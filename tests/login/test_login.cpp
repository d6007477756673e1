// The login end to end: the real connection and reset dialogs, the main
// window's port and the simulated receiver on a pseudo-terminal, from
// "Připojení přijímače" to the success report, with what went over the line.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "LoginFixture.h"
#include "app/Chyba.h"
#include "app/ZOV.h"
#include "connect/ComInit.h"
#include "link/Login.h"
#include "connect/RcvInit.h"
#include "link/ReceiveText.h"
#include "link/Channel.h"
#include "serial/ComPort.h"

namespace {

const QString kInstruction = QStringLiteral("Stiskněte tkačítko \"reset\" na sirénovém přijímači");

bool ReceiverButtons(bool enabled) {
  return ZOV->Params->isEnabled() == enabled && ZOV->Tim->isEnabled() == enabled &&
         ZOV->Monitor->isEnabled() == enabled;
}

}  // namespace

TEST_F(LoginTest, ResetLogsInEnablesTheButtonsReportsSuccessAndLeavesTheFocusOnParameters) {
  Start();
  struct {
    QString info;
    QColor panel;
    QString panelText;
    bool polling = false;
    QString caption, text;
    QColor colour;
    bool dialogsUnder = false;
    std::vector<std::string> enabledOrder;
    QWidget* focus = nullptr;
    QString nextCaption;
    QColor nextColour;
  } seen;

  Script s;
  s.Then("the main window", [] { return ZOV->isVisible(); }, [] { ZOV->ComIni->click(); })
      .Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("three spaces polled", [&] { return ActiveModal() == RcvInit && Spaces() >= 3; },
            [&] {
              seen.info = RcvInit->Info->text();
              seen.panel = RcvInit->Panel1->Color();
              seen.panelText = RcvInit->Panel1->Caption();
              seen.polling = RcvInit->Timer1->isActive();
              Rx().PressReset();
            })
      .Then("the success message", [] { return ActiveModal() == Chyba; },
            [&] {
              seen.caption = Chyba->Caption();
              seen.colour = Chyba->Panel->Color();
              seen.text = Chyba->Panel->Caption();
              // Closing takes effect after the handler: both are still there.
              seen.dialogsUnder = RcvInit->isVisible() && ComInit->isVisible();
              seen.enabledOrder = watcher.enabled;
              Chyba->Button1->click();
            })
      .Then("the main window again", [] { return !ActiveModal() && !ComInit->isVisible(); },
            [&] {
              seen.focus = ZOV->focusWidget();
              // The next message from anyone is in the resting look.
              Chyba->ShowText(QStringLiteral("Zpráva"));
            })
      .Then("the next message", [] { return ActiveModal() == Chyba; },
            [&] {
              seen.nextCaption = Chyba->Caption();
              seen.nextColour = Chyba->Panel->Color();
              Chyba->Button1->click();
            })
      .Then("all closed", [] { return !ActiveModal(); }, [] { ZOV->Close(); });
  ASSERT_TRUE(s.Run([] { ZOV->Run(); }));

  EXPECT_EQ(seen.info, QStringLiteral("Připojeno k portu COM1"));
  EXPECT_EQ(seen.panel, QColor(0, 0, 255));
  EXPECT_EQ(seen.panelText, kInstruction);
  EXPECT_TRUE(seen.polling);
  EXPECT_EQ(seen.caption, QStringLiteral("OK"));
  EXPECT_EQ(seen.colour, QColor(0, 128, 0));
  EXPECT_EQ(seen.text, QStringLiteral("Přijímač připojen v pořádku"));
  EXPECT_TRUE(seen.dialogsUnder);
  EXPECT_EQ(seen.enabledOrder, (std::vector<std::string>{"Params", "Monitor", "Tim"}));
  EXPECT_EQ(seen.focus, ZOV->Params);
  EXPECT_EQ(seen.nextCaption, QStringLiteral("Chyba"));
  EXPECT_EQ(seen.nextColour, QColor(255, 0, 0));
  EXPECT_TRUE(ReceiverButtons(true));
  EXPECT_FALSE(RcvInit->Timer1->isActive());
  EXPECT_TRUE(ZOV->ComPort1->Connected());
  EXPECT_EQ(OperatorCode, 100);
  EXPECT_EQ(Rx().OperatorCode(), 100);
  EXPECT_EQ(Rx().CurrentState(), sim::State::Command);

  // On the line: spaces every 500 ms, the password at the tick that found
  // the prompt, and 2 s later the code as the one byte 'd', nothing after.
  const auto bytes = Rx().ReceivedBytes();
  std::string text;
  for (const auto& b : bytes) text += static_cast<char>(b.byte);
  const std::size_t password = text.find("TREMO");
  ASSERT_NE(password, std::string::npos) << text;
  EXPECT_EQ(text.substr(password), "TREMOd");
  ASSERT_GE(password, 4u);
  EXPECT_EQ(text.find_first_not_of(' '), password) << text;
  for (std::size_t i = 1; i < password; ++i) {
    const double gap = bytes[i].ms - bytes[i - 1].ms;
    EXPECT_GT(gap, 400) << "space " << i;
    EXPECT_LT(gap, 650) << "space " << i;
  }
  EXPECT_LT(bytes[password].ms - bytes[password - 1].ms, 150);
  const double codeAfter = bytes.back().ms - bytes[password + 4].ms;
  EXPECT_GT(codeAfter, 1900);
  EXPECT_LT(codeAfter, 2600);
}

TEST_F(LoginTest, PromptSplitOverTwoNotificationsIsFoundOnceBothAreIn) {
  Start(1, {sim::Fault::Split});
  // What the receive text was after each notification.
  std::vector<std::string> afterEach;
  auto receive = ZOV->ComPort1->OnRxChar;
  ZOV->ComPort1->OnRxChar = [&afterEach, receive](QObject* port, int count) {
    receive(port, count);
    afterEach.push_back(RxText().Text());
  };
  bool success = false;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("polling", [&] { return ActiveModal() == RcvInit && Spaces() >= 1; }, [&] { Rx().PressReset(); })
      .Then("the success message", [] { return ActiveModal() == Chyba; },
            [&] {
              success = Chyba->Panel->Caption() == QStringLiteral("Přijímač připojen v pořádku");
              Chyba->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));
  EXPECT_TRUE(success);
  bool halfPrompt = false;
  for (const auto& t : afterEach)
    halfPrompt = halfPrompt || (t.size() >= 2 && t.compare(t.size() - 2, 2, "WO") == 0);
  EXPECT_TRUE(halfPrompt) << "the prompt did not come in two pieces";
  EXPECT_EQ(Rx().OperatorCode(), 100);
}

TEST_F(LoginTest, MissingOperatorPromptFailsTheLoginAndLeavesBothDialogsOpen) {
  Start(1, {sim::Fault::NoOp});
  // A state that must survive the failed login as it is.
  ZOV->Params->setEnabled(true);
  watcher.WatchShown(Chyba);
  struct {
    QColor panel;
    QString panelText;
    bool stillOpen = false;
    bool polling = true;
    std::string afterAWhile;
    bool buttonsKept = false;
    QColor reopenedPanel;
    QString reopenedText;
  } seen;
  QElapsedTimer failedAt;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("polling", [&] { return ActiveModal() == RcvInit && Spaces() >= 1; }, [&] { Rx().PressReset(); })
      .Then("the red panel", [] { return RcvInit->Panel1->Color() == QColor(255, 0, 0); },
            [&] {
              seen.panel = RcvInit->Panel1->Color();
              seen.panelText = RcvInit->Panel1->Caption();
              seen.polling = RcvInit->Timer1->isActive();
              failedAt.start();
            })
      .Then("a second later", [&] { return failedAt.isValid() && failedAt.elapsed() > 1000; },
            [&] {
              seen.stillOpen = ActiveModal() == RcvInit && ComInit->isVisible();
              seen.afterAWhile = Rx().ReceivedText();
              seen.buttonsKept = ZOV->Params->isEnabled() && !ZOV->Tim->isEnabled() && !ZOV->Monitor->isEnabled();
              RcvInit->Button1->click();
            })
      .Then("back in the connection dialog", [] { return ActiveModal() == ComInit; },
            [] { ComInit->Button2->click(); })
      .Then("the reset dialog again", [] { return ActiveModal() == RcvInit; },
            [&] {
              seen.reopenedPanel = RcvInit->Panel1->Color();
              seen.reopenedText = RcvInit->Panel1->Caption();
              RcvInit->Button1->click();
            })
      .Then("the connection dialog once more", [] { return ActiveModal() == ComInit; },
            [] { ComInit->Button1->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));

  EXPECT_EQ(seen.panel, QColor(255, 0, 0));
  EXPECT_EQ(seen.panelText, QStringLiteral("Při čtení parametrů došlo k chybě"));
  EXPECT_FALSE(seen.polling);
  EXPECT_TRUE(seen.stillOpen);
  EXPECT_TRUE(seen.buttonsKept);
  // No operator code, and no more spaces after the password.
  ASSERT_GE(seen.afterAWhile.size(), 5u);
  EXPECT_EQ(seen.afterAWhile.substr(seen.afterAWhile.size() - 5), "TREMO");
  EXPECT_EQ(Rx().OperatorCode(), -1);
  EXPECT_EQ(watcher.shown.count(Chyba), 0u) << "a message was shown";
  // Each opening shows the instruction on blue again.
  EXPECT_EQ(seen.reopenedPanel, QColor(0, 0, 255));
  EXPECT_EQ(seen.reopenedText, kInstruction);
  // Storno took the buttons off.
  EXPECT_TRUE(ReceiverButtons(false));
}

TEST_F(LoginTest, StornoWhilePollingStopsAndASecondConnectReopensThePort) {
  Start();
  // As after an earlier login.
  ZOV->Params->setEnabled(true);
  ZOV->Tim->setEnabled(true);
  ZOV->Monitor->setEnabled(true);
  struct {
    bool offAtOnce = false;
    bool backInComInit = false;
    bool polling = true;
    bool connected = false;
    int spacesAtStorno = 0, spacesLater = 0;
    std::vector<std::string> eventsBefore, eventsAfter;
  } seen;
  QElapsedTimer stornoAt;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("two spaces polled", [&] { return ActiveModal() == RcvInit && Spaces() >= 2; },
            [&] {
              RcvInit->Button1->click();
              seen.offAtOnce = ReceiverButtons(false) && ZOV->ComIni->isEnabled();
              seen.spacesAtStorno = Spaces();
              stornoAt.start();
            })
      .Then("the connection dialog again", [] { return ActiveModal() == ComInit; },
            [&] {
              seen.backInComInit = !RcvInit->isVisible();
              seen.polling = RcvInit->Timer1->isActive();
              seen.connected = ZOV->ComPort1->Connected();
            })
      .Then("a second after Storno", [&] { return stornoAt.elapsed() > 1100; },
            [&] {
              seen.spacesLater = Spaces();
              seen.eventsBefore = portEvents;
              ComInit->Button2->click();
            })
      .Then("polling again", [&] { return ActiveModal() == RcvInit && Spaces() > seen.spacesLater; },
            [&] {
              seen.eventsAfter = portEvents;
              Rx().PressReset();
            })
      .Then("the success message", [] { return ActiveModal() == Chyba; }, [] { Chyba->Button1->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));

  EXPECT_TRUE(seen.offAtOnce);
  EXPECT_TRUE(seen.backInComInit);
  EXPECT_FALSE(seen.polling);
  EXPECT_TRUE(seen.connected) << "Storno closed the port";
  EXPECT_EQ(seen.spacesLater, seen.spacesAtStorno);
  EXPECT_EQ(seen.eventsBefore, (std::vector<std::string>{"open COM1"}));
  EXPECT_EQ(seen.eventsAfter, (std::vector<std::string>{"open COM1", "close", "open COM1"}));
  // The second login went through on the fresh port.
  EXPECT_TRUE(ReceiverButtons(true));
  EXPECT_EQ(Rx().OperatorCode(), 100);
}

TEST_F(LoginTest, StornoDuringThePasswordWaitTakesTheButtonsOffButTheLoginRunsToItsEnd) {
  Start();
  bool offAtOnce = false;
  bool resetStillShown = false;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("polling", [&] { return ActiveModal() == RcvInit && Spaces() >= 1; }, [&] { Rx().PressReset(); })
      .Then("the password sent", [&] { return Rx().ReceivedText().find("TREMO") != std::string::npos; },
            [&] {
              RcvInit->Button1->click();
              offAtOnce = ReceiverButtons(false);
            })
      .Then("the success message", [] { return ActiveModal() == Chyba; },
            [&] {
              resetStillShown = RcvInit->isVisible();
              Chyba->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));
  EXPECT_TRUE(offAtOnce);
  EXPECT_TRUE(resetStillShown);
  EXPECT_FALSE(RcvInit->isVisible());
  EXPECT_FALSE(ComInit->isVisible());
  EXPECT_TRUE(ReceiverButtons(true));
  EXPECT_EQ(Rx().OperatorCode(), 100);
}

TEST_F(LoginTest, ALineThatRefusesThePollingSpaceIsReportedOnceAndPollingStops) {
  Start();
  std::vector<QString> boxes;
  QElapsedTimer sinceBox;
  bool polling = true;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("polling", [&] { return ActiveModal() == RcvInit && Spaces() >= 1; }, [&] { Rx().Vanish(); })
      .Then("the error box", [] { return !MessageBoxText().isEmpty(); },
            [&] {
              boxes.push_back(MessageBoxText());
              PressMessageBoxOk();
              sinceBox.start();
            })
      .Then("a while later", [&] {
              if (!MessageBoxText().isEmpty()) {
                boxes.push_back(MessageBoxText());
                PressMessageBoxOk();
              }
              return sinceBox.isValid() && sinceBox.elapsed() > 1500;
            },
            [&] {
              polling = RcvInit->Timer1->isActive();
              RcvInit->Button1->click();
            })
      .Then("the connection dialog again", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button1->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));
  // One lost line, one message: the event thread's failed wait or the
  // refused space, whichever came first, and not again at every tick.
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].startsWith(QStringLiteral("WriteFile function failed (win error code: 1117)")) ||
              boxes[0].startsWith(QStringLiteral("WaitForEvent method failed (win error code: 1117)")))
      << boxes[0].toStdString();
  EXPECT_FALSE(polling);
}
