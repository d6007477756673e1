// The login end to end: the real connection and reset dialogs, the main
// window's port and the simulated receiver on a pseudo-terminal, from
// "Připojení přijímače" to the success report, with what went over the line.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include "LoginFixture.h"
#include "app/Chyba.h"
#include "app/ZOV.h"
#include "connect/ComInit.h"
#include "link/Login.h"
#include "connect/RcvInit.h"
#include "link/ReceiveText.h"
#include "link/Channel.h"
#include "portmap/PortMap.h"
#include "serial/ComPort.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const QString kInstruction = QStringLiteral("Stiskněte tkačítko \"reset\" na sirénovém přijímači");

bool ReceiverButtons(bool enabled) {
  return ZOV->Params->isEnabled() == enabled && ZOV->Tim->isEnabled() == enabled &&
         ZOV->Monitor->isEnabled() == enabled;
}

// What the program sent, on its own clock: the channel reports each send
// right after it returned, from inside the handler that sent it.
struct TSend {
  Clock::time_point at;
  std::string bytes;  // "tick": the login timer's tick handler has returned
};

// The receiver's side played by the test itself on a pseudo-terminal
// published as COM1, for a reply that must arrive in pieces of the test's
// choosing.
class FarSide {
 public:
  FarSide() {
    int slave = -1;
    char name[128];
    EXPECT_EQ(::openpty(&master_, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    serial::PublishPort(1, name);
  }
  ~FarSide() {
    // The port goes first: the program is not to see its receiver vanish.
    if (ZOV) ZOV->ComPort1->ClosePort();
    serial::UnpublishPort(1);
    ::close(master_);
  }
  // Everything the program has sent so far.
  const std::string& Heard() {
    char buf[256];
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0) heard_.append(buf, static_cast<size_t>(n));
    return heard_;
  }
  void Say(const std::string& bytes) {
    EXPECT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

 private:
  int master_ = -1;
  std::string heard_;
};

}  // namespace

TEST_F(LoginTest, ResetLogsInEnablesTheButtonsReportsSuccessAndLeavesTheFocusOnParameters) {
  Start();
  std::vector<TSend> sends;
  QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& b) { sends.push_back({Clock::now(), b}); });
  // Connected after the dialog's own handler: runs once a tick's work is done.
  QObject::connect(RcvInit->Timer1, &QTimer::timeout, [&] { sends.push_back({Clock::now(), "tick"}); });
  Clock::time_point connected{};
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
      .Then("the connection dialog", [] { return ActiveModal() == ComInit; },
            [&] {
              connected = Clock::now();  // the login timer starts after this
              ComInit->Button2->click();
            })
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
  EXPECT_TRUE(Rx().WaitFor([&] { return Rx().CurrentState() == sim::State::Command; }, 10000));
  EXPECT_EQ(Rx().OperatorCode(), 100);

  // What went out, tick by tick: one space per tick of the login timer; at
  // the tick that found the prompt its space, the password and the code as
  // the one byte 'd'; nothing after.
  std::vector<std::string> perTick(1);
  for (const TSend& e : sends) {
    if (e.bytes == "tick")
      perTick.emplace_back();
    else
      perTick.back() += e.bytes;
  }
  ASSERT_GE(perTick.size(), 5u);  // three spaces before the reset, one that brought the prompt, the login
  EXPECT_EQ(perTick.back(), "");
  perTick.pop_back();
  EXPECT_EQ(perTick.back(), " TREMOd");
  perTick.pop_back();
  for (const std::string& t : perTick) EXPECT_EQ(t, " ");
  // Paced on the program's clock: the k-th space no sooner than k x 450 ms
  // after the connect (the login timer is a coarse one, which Qt lets run up
  // to 5 % early, tick after tick: 475 ms is what it gives), and the code no
  // sooner than 2 s after the password (the delay's timer is never early).
  // A poll of 400 ms or a shorter wait shows; how late a loaded machine
  // makes them is no fault of the program's.
  std::vector<Clock::time_point> spaces;
  Clock::time_point password{}, code{};
  for (const TSend& e : sends) {
    if (e.bytes == " ") spaces.push_back(e.at);
    if (e.bytes == "TREMO") password = e.at;
    if (e.bytes == "d") code = e.at;
  }
  for (std::size_t k = 0; k < spaces.size(); ++k)
    EXPECT_GE(spaces[k] - connected, static_cast<int>(k + 1) * 450ms) << "space " << k + 1;
  EXPECT_GE(code - password, 1999ms);
}

// The password prompt arrives in two pieces, and a tick of the login looks
// at the receive text between them: it must find the prompt once the second
// piece is in (a login that looked at the latest piece only, or forgot the
// first piece at a tick, would poll on forever). The test plays the receiver
// so that the pieces come exactly so.
TEST_F(LoginTest, PromptSplitOverTwoNotificationsIsFoundOnceBothAreIn) {
  FarSide far;
  CreateForms();
  formsCreated_ = true;
  int spacesSent = 0;
  QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& b) {
    spacesSent += static_cast<int>(std::count(b.begin(), b.end(), ' '));
  });
  bool passwordSent = false;
  QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& b) { passwordSent |= b == "TREMO"; });
  int spacesAtHalf = -1;
  bool success = false;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("a space polled", [&] { return far.Heard().find(' ') != std::string::npos; },
            [&] { far.Say("\r\nPASSWO"); })
      .Then("the first piece in, and a tick after it",
            [&] {
              if (spacesAtHalf < 0 && RxText().Contains("PASSWO")) spacesAtHalf = spacesSent;
              return spacesAtHalf >= 0 && spacesSent > spacesAtHalf;
            },
            [&] { far.Say("RD:"); })
      .Then("the password", [&] { return passwordSent; }, [&] { far.Say("\r\nOP:"); })
      .Then("the code", [&] { return far.Heard().ends_with("TREMOd"); }, [&] { far.Say("\r\nCMD>"); })
      .Then("the success message", [] { return ActiveModal() == Chyba; },
            [&] {
              success = Chyba->Panel->Caption() == QStringLiteral("Přijímač připojen v pořádku");
              Chyba->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));
  EXPECT_TRUE(success);
  EXPECT_TRUE(WaitUntil([&] { return far.Heard().find("TREMOd") != std::string::npos; }));
  const std::string heard = far.Heard();
  EXPECT_EQ(heard.find_first_not_of(' '), heard.find("TREMOd")) << heard;
  EXPECT_TRUE(heard.size() >= 6 && heard.compare(heard.size() - 6, 6, "TREMOd") == 0) << heard;
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

// The receiver is reset again after it asked for the operator: the code
// goes unanswered, the carriage return brings no command prompt, and the
// login has failed. The dialog says so, polls again, and logs in once the
// receiver asks for the password again.
TEST_F(LoginTest, AResetDuringTheLoginFailsItAndThePollingStartsAgain) {
  Start(1, {sim::Fault::ResetInLogin});
  watcher.WatchShown(Chyba);
  std::string sent;
  QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& b) { sent += b; });
  struct {
    QColor panel;
    QString text;
    bool polling = false, buttonsOff = false, noMessage = false;
    std::string sentThen;
  } seen;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button2->click(); })
      .Then("polling", [&] { return ActiveModal() == RcvInit && Spaces() >= 1; }, [&] { Rx().PressReset(); })
      .Then("the failure", [] { return RcvInit->Panel1->Color() == QColor(255, 0, 0); },
            [&] {
              seen.panel = RcvInit->Panel1->Color();
              seen.text = RcvInit->Panel1->Caption();
              seen.polling = RcvInit->Timer1->isActive();
              seen.buttonsOff = ReceiverButtons(false);
              seen.noMessage = watcher.shown.count(Chyba) == 0;
              seen.sentThen = sent.substr(sent.find('T'));
              Rx().SetFault(sim::Fault::ResetInLogin, false);
            })
      .Then("the success message", [] { return ActiveModal() == Chyba; }, [] { Chyba->Button1->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }, 30000));
  EXPECT_EQ(seen.panel, QColor(255, 0, 0));
  EXPECT_EQ(seen.text, QStringLiteral("Přihlášení se nezdařilo – stiskněte reset na přijímači znovu"));
  EXPECT_TRUE(seen.polling);
  EXPECT_TRUE(seen.buttonsOff);
  EXPECT_TRUE(seen.noMessage);
  EXPECT_EQ(seen.sentThen, "TREMOd\r");
  // Polled again: the prompt its carriage return brought was found, and the
  // second login went through.
  EXPECT_TRUE(sent.ends_with("\r TREMOd")) << sent;
  EXPECT_TRUE(ReceiverButtons(true));
  EXPECT_EQ(Rx().OperatorCode(), 100);
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
