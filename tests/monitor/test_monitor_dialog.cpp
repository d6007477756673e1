// The monitor dialog end to end: the real windows, the main window's port and
// the simulated receiver on a pseudo-terminal, from "Monitor přijímače" to the
// monitor shown, saved and cleared, with what went over the line.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <chrono>
#include <fstream>
#include <iterator>

#include "ReceiverTest.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/Channel.h"
#include "monitor/Mon.h"

namespace {

QFileDialog* SaveDialog() { return qobject_cast<QFileDialog*>(ActiveModal()); }
QLineEdit* FileNameEdit() { return SaveDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }
QString Offered() { return SaveDialog()->directory().filePath(FileNameEdit()->text()); }
void PressSave() { SaveDialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click(); }
bool MonActive() { return ActiveModal() == Mon; }

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the program sent, on its own clock: the channel reports each send
// right after it returned, and the dialog's waits start only then.
class SentLog {
 public:
  SentLog() {
    connection_ = QObject::connect(&Channel(), &TChannel::Sent,
                                   [this](const std::string& bytes) { sends_.push_back({Clock::now(), bytes}); });
  }
  ~SentLog() { QObject::disconnect(connection_); }
  std::string Text() const {
    std::string text;
    for (const auto& s : sends_) text += s.second;
    return text;
  }
  // When the send of exactly these bytes returned (the first such send).
  Clock::time_point At(const std::string& bytes) const {
    for (const auto& s : sends_)
      if (s.second == bytes) return s.first;
    ADD_FAILURE() << "never sent: " << bytes;
    return {};
  }

 private:
  QMetaObject::Connection connection_;
  std::vector<std::pair<Clock::time_point, std::string>> sends_;
};

std::string ReadFile(const QString& name) {
  std::ifstream in(name.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ShowsReading() {
  return Mon->Panel->Caption() == QStringLiteral("Probíhá čtení monitoru přijímače") &&
         Mon->Panel->Color() == ButtonFaceColor() && Mon->Panel->FontColor() == Qt::black &&
         Mon->Panel1->isVisible() && Mon->Memo2->isVisible() && Mon->Indik->isVisible() &&
         !Mon->Memo1->isVisible() && !Mon->Button2->isEnabled() && !Mon->Nul->isEnabled();
}

bool ShowsReadFailure() {
  return Mon->Panel->Caption() == QStringLiteral("Chyba čtení monitoru přijímače") && Mon->Panel->Color() == kRed &&
         Mon->Panel->FontColor() == kWhite && !Mon->Panel1->isVisible() && !Mon->Memo2->isVisible() &&
         !Mon->Indik->isVisible() && !Mon->Memo1->isVisible() && !Mon->Button2->isEnabled() &&
         !Mon->Nul->isEnabled() && !Mon->Timer1->isActive();
}

}  // namespace

using MonitorDialog = ReceiverTest;

TEST_F(MonitorDialog, ShowsSavesAndClearsTheMonitorAsTheReceiverSentIt) {
  StartLoggedIn();
  SentLog sent;
  std::vector<std::string> lines = sim::Receiver::DefaultMonitor(700);
  lines[350].clear();
  for (int b = 0x80; b <= 0xFF; ++b) lines[350] += char(b);  // 0x81, 0x83... have no character
  Rx().SetMonitorLines(lines);
  std::string monitor;
  for (const auto& l : lines) monitor += l + "\r\n";
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("monitor.txt"));
  std::string shown, firstShown, lastShown, saved, replaced;
  std::vector<QString> offered;
  bool asked = false;
  SeenMessageBox error;
  // The read-out's minute names the file offered.
  const auto name = [](const QDateTime& t) {
    return "monitor-" + t.toString(QStringLiteral("yyyy-MM-dd-HHmm")) + ".txt";
  };
  const QDateTime opened = QDateTime::currentDateTime();
  QDateTime read;
  Script s;
  s.Then("the monitor shown", [] { return Mon->Button2->isEnabled() && Mon->Memo1->isVisible(); },
         [&] {
           read = QDateTime::currentDateTime();
           shown = RxText().Text();
           Mon->Memo1->Flush();
           firstShown = Mon->Memo1->document()->firstBlock().text().toStdString();
           lastShown = Mon->Memo1->document()->lastBlock().text().toStdString();
           Mon->Button2->click();
         })
      .Then("the save dialog", SaveDialog,
            [&] {
              offered.push_back(FileNameEdit()->text());
              FileNameEdit()->setText(dir.filePath(QStringLiteral("monitor")));  // .txt comes by itself
              PressSave();
            })
      .Then("saved", MonActive,
            [&] {
              saved = ReadFile(file);
              std::ofstream(file.toStdString()) << "old";
              Mon->Button2->click();
            })
      .Then("saving again", SaveDialog,
            [&] {
              offered.push_back(Offered());
              FileNameEdit()->setText(QStringLiteral("monitor.txt"));
              PressSave();
            })
      .Then("the question before replacing", [] { return qobject_cast<QMessageBox*>(ActiveModal()); },
            [&] {
              asked = true;
              qobject_cast<QMessageBox*>(ActiveModal())->button(QMessageBox::Yes)->click();
            })
      .Then("replaced", MonActive,
            [&] {
              replaced = ReadFile(file);
              Mon->Button2->click();
            })
      .Then("the save dialog to cancel", SaveDialog,
            [&] {
              FileNameEdit()->setText(QStringLiteral("other.txt"));
              SaveDialog()->reject();
            })
      .Then("cancelled", MonActive, [] { Mon->Button2->click(); })
      .Then("the save dialog after the cancel", SaveDialog,
            [&] {
              offered.push_back(Offered());
              CloseNextMessageBox(&error);
              FileNameEdit()->setText(file + QStringLiteral("/x.txt"));  // under a file
              PressSave();
            })
      .Then("the error box", [&] { return error.seen && MonActive(); },
            [] {
              Later([] { Mon->Nul->click(); }, 100);  // pressed again during the wait
              Mon->Nul->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->Monitor->click(); }, 60000));
  const auto closed = Clock::now();

  // Without the receiver's heading and the prompt; the rest in its own bytes.
  EXPECT_TRUE(shown == monitor) << "the receive text is not the monitor";
  EXPECT_EQ(firstShown, sim::FromCp1250(lines.front()));
  EXPECT_EQ(lastShown, sim::FromCp1250(lines.back()));
  EXPECT_TRUE(saved == monitor) << "the file is not what the receiver sent";
  // The read-out's name at first; then in the folder of the last save.
  const QString offer = offered.at(0) == name(opened) ? name(opened) : name(read);
  EXPECT_EQ(offered, (std::vector<QString>{offer, dir.filePath(offer), dir.filePath(offer)}));
  EXPECT_TRUE(asked);
  EXPECT_TRUE(replaced == monitor);
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.txt"))));
  EXPECT_EQ(error.text, QStringLiteral("Cannot create file ") + file + QStringLiteral("/x.txt: Not a directory"));

  // "\r", a second's wait, "m"; then "n" and the dialog closes half a second
  // later. Nothing else went out. The waits are timed on the program's clock
  // from the end of each send (timers are never early; the millisecond
  // allows for their rounding), long enough to tell a missing or halved wait.
  ASSERT_EQ(sent.Text(), "\rmn");
  EXPECT_GE(sent.At("m") - sent.At("\r"), 999ms);
  EXPECT_GE(closed - sent.At("n"), 499ms);
  // The receiver got the same and cleared its monitor.
  EXPECT_TRUE(Rx().WaitFor([&] { return Rx().MonitorLines().empty(); }, 10000));
  EXPECT_EQ(Rx().ReceivedText(), "\rmn");
}

TEST_F(MonitorDialog, EndsAtThePromptWhereverItStandsAndFailsWithoutItAtTheFortiethTick) {
  StartLoggedIn();
  Mon->Timer1->setInterval(5);  // the 40th tick in moments
  int ticks = 0;
  QObject::connect(Mon->Timer1, &QTimer::timeout, [&] { ++ticks; });
  std::vector<int> activity;
  QObject::connect(&Channel(), &TChannel::ActivityChanged, [&](int a) { activity.push_back(a); });
  struct Case {
    const char* what;
    std::function<void()> receiver;
    bool shown;
    int ticks;          // -1: any
    std::string sent;   // after a failure the test sends a late "\r" of its own
    std::string kept;   // the receive text at the end
  } cases[] = {
      {"the prompt in the middle only", [&] { Rx().SetCustomReply('m', "HEAD\r\nA\r\nCMD> B\r\nC\r\nD"); }, true, -1,
       "\rm", "A\r\nCMD> B\r\nC\r\n"},
      {"no prompt after the carriage return", [&] { Rx().SetFault(sim::Fault::NoCmdPrompt); }, false, 0, "\r\r",
       "\r\n\r\nCMD>"},
      {"the closing prompt never comes, or after the 40th tick", [&] { Rx().SetFault(sim::Fault::MonitorNoEnd); },
       false, 40, "\rm\r", "MONITOR UDÁLOSTÍ: 1\r\nE1\r\n\r\nCMD>"},
  };
  Rx().SetMonitorLines({"E1"});
  for (const Case& c : cases) {
    Rx().ClearFaults();
    Rx().SetCustomReply('m', std::nullopt);
    c.receiver();
    Rx().ClearTraffic();
    ticks = 0;
    activity.clear();
    bool freshLook = false, outcome = false;
    Script s;
    s.Then("the opening's wait", [] { return Mon->isVisible(); }, [&] { freshLook = ShowsReading(); })
        .Then("the end of the read-out", [] { return !Mon->Timer1->isActive() && Mon->Running(); },
              [&] {
                outcome = c.shown ? Mon->Memo1->isVisible() && Mon->Button2->isEnabled() : ShowsReadFailure();
                if (!c.shown) {
                  // A late prompt changes nothing: once it is in.
                  Rx().ClearFaults();
                  Channel().Send("\r");
                  outcome = outcome && WaitUntil([] { return RxText().Contains("CMD>"); }, 10000) &&
                            ShowsReadFailure();
                }
                Mon->Button1->click();
              });
    ASSERT_TRUE(s.Run([] { ZOV->Monitor->click(); })) << c.what;
    EXPECT_TRUE(freshLook) << c.what;
    EXPECT_EQ(activity.empty() ? -1 : activity.front(), 0) << c.what;  // the indicator starts at 0
    EXPECT_TRUE(outcome) << c.what;
    if (c.ticks >= 0) {
      EXPECT_EQ(ticks, c.ticks) << c.what;
    }
    EXPECT_EQ(Rx().ReceivedText(), c.sent) << c.what;
    EXPECT_EQ(sim::FromCp1250(RxText().Text()), c.kept) << c.what;
  }
}

TEST_F(MonitorDialog, OkIsDroppedWhileOpeningClosesDuringTheWatchAndLateLinesStillArrive) {
  sim::Options paced;
  paced.monitorLines = 120;  // 5 s at 9600 baud
  StartLoggedIn(paced);
  SentLog sent;
  bool stayed = false;
  Script s;
  s.Then("the opening's wait", [] { return Mon->isVisible(); }, [] { Mon->Button1->click(); })
      .Then("the watch", [] { return Mon->Timer1->isActive(); },
            [&] {
              stayed = sent.Text() == "\rm";
              Mon->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->Monitor->click(); }));
  EXPECT_TRUE(stayed);
  EXPECT_FALSE(Mon->Timer1->isActive());
  EXPECT_FALSE(RxText().Contains("CMD>"));
  // No empty line between any two, however the line cut the bytes.
  EXPECT_TRUE(WaitUntil([] { return RxText().Contains("CMD>"); }, 20000)) << "the rest of the monitor did not come";
  EXPECT_EQ(RxText().LineCount(), 122);
}

TEST_F(MonitorDialog, APortFailureEndsTheReadOutWithOneErrorBoxAndNothingMoreSent) {
  StartLoggedIn();
  Rx().SetFault(sim::Fault::MonitorNoEnd);  // the watch would run its 40 s
  std::vector<QString> boxes;
  bool redUnderTheBox = false;
  auto pressBox = [&] {
    boxes.push_back(MessageBoxText());
    redUnderTheBox = ShowsReadFailure();
    PressMessageBoxOk();
  };
  Script lost;  // the receiver lost during the watch
  lost.Then("the watch", [] { return Mon->Timer1->isActive(); }, [&] { Rx().Vanish(); })
      .Then("the error box", [] { return !MessageBoxText().isEmpty(); }, pressBox)
      .Then("the failure", MonActive, [] { Mon->Button1->click(); });
  ASSERT_TRUE(lost.Run([] { ZOV->Monitor->click(); }));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].startsWith(QStringLiteral("WaitForEvent method failed"))) << boxes[0].toStdString();
  EXPECT_TRUE(redUnderTheBox);

  // The loss took the button off; opened again all the same, on the lost
  // line: the carriage return cannot go out. The loss has been reported
  // already, so the dialog's red text is all.
  EXPECT_FALSE(ZOV->Monitor->isEnabled());
  Script refused;
  refused.Then("the opening's end", [] { return MonActive() && Mon->Running(); }, [&] {
    redUnderTheBox = ShowsReadFailure();
    Mon->Button1->click();
  });
  ASSERT_TRUE(refused.Run([] { Mon->ShowModal(); }));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(redUnderTheBox);
  EXPECT_EQ(Rx().ReceivedText(), "\rm");
}
