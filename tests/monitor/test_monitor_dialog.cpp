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

const QString kReading = QStringLiteral("Probíhá čtení monitoru přijímače");
const QString kReadFailed = QStringLiteral("Chyba čtení monitoru přijímače");

QFileDialog* SaveDialog() { return qobject_cast<QFileDialog*>(ActiveModal()); }
QLineEdit* FileNameEdit() { return SaveDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }
QString OfferedName() { return FileNameEdit()->text(); }
void PressSave() { SaveDialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click(); }

std::string ReadFile(const QString& name) {
  std::ifstream in(name.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The failed read-out as the operator sees it.
bool ShowsReadFailure() {
  return Mon->Panel->Caption() == kReadFailed && Mon->Panel->Color() == kRed && Mon->Panel->FontColor() == kWhite &&
         !Mon->Panel1->isVisible() && !Mon->Memo2->isVisible() && !Mon->Indik->isVisible() &&
         !Mon->Memo1->isVisible() && !Mon->Button2->isEnabled() && !Mon->Nul->isEnabled() && !Mon->Timer1->isActive();
}

// Reading: the status on the button face, the indicator and the warning
// shown, the receive text hidden, nothing to save or clear yet.
bool ShowsReading() {
  return Mon->Panel->Caption() == kReading && Mon->Panel->Color() == ButtonFaceColor() &&
         Mon->Panel->FontColor() == Qt::black && Mon->Panel1->isVisible() && Mon->Memo2->isVisible() &&
         Mon->Indik->isVisible() && !Mon->Memo1->isVisible() && !Mon->Button2->isEnabled() && !Mon->Nul->isEnabled();
}

}  // namespace

using MonitorDialog = ReceiverTest;

TEST_F(MonitorDialog, ShowsTheMonitorLinesAndSavesThemAsTheReceiverSentThem) {
  StartLoggedIn();
  std::vector<std::string> lines = sim::Receiver::DefaultMonitor(700);
  lines[350].clear();
  for (int b = 0x80; b <= 0xFF; ++b) lines[350] += char(b);  // 0x81, 0x83... have no character
  Rx().SetMonitorLines(lines);
  std::string monitor;
  for (const auto& l : lines) monitor += l + "\r\n";
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("monitor.txt"));
  const QString blocked = dir.filePath(QStringLiteral("monitor.txt/x.txt"));  // under a file
  struct {
    std::string text, firstShown, lastShown, saved, replaced;
    bool memoShown = false, watching = true, asked = false, stayedOpen = false;
    int memoLines = 0;
    QString offered, offeredAgain, offeredAfterCancel;
    SeenMessageBox error;
  } seen;
  Script s;
  s.Then("the monitor shown", [] { return Mon->Button2->isEnabled(); },
         [&] {
           seen.text = RxText().Text();
           seen.memoShown = Mon->Memo1->isVisible() && Mon->Nul->isEnabled();
           seen.watching = Mon->Timer1->isActive();
           Mon->Memo1->Flush();
           seen.memoLines = Mon->Memo1->document()->blockCount();
           seen.firstShown = Mon->Memo1->document()->firstBlock().text().toStdString();
           seen.lastShown = Mon->Memo1->document()->lastBlock().text().toStdString();
           Mon->Button2->click();
         })
      .Then("the save dialog", [] { return SaveDialog(); },
            [&] {
              seen.offered = OfferedName();
              SaveDialog()->selectFile(dir.filePath(QStringLiteral("monitor")));  // the suffix comes by itself
              PressSave();
            })
      .Then("saved", [] { return ActiveModal() == Mon; },
            [&] {
              seen.saved = ReadFile(file);
              std::ofstream(file.toStdString()) << "old";
              Mon->Button2->click();
            })
      .Then("the save dialog again", [] { return SaveDialog(); },
            [&] {
              seen.offeredAgain = SaveDialog()->directory().filePath(OfferedName());
              PressSave();
            })
      .Then("the question before replacing", [] { return qobject_cast<QMessageBox*>(ActiveModal()); },
            [&] {
              seen.asked = true;
              qobject_cast<QMessageBox*>(ActiveModal())->button(QMessageBox::Yes)->click();
            })
      .Then("replaced", [] { return ActiveModal() == Mon; },
            [&] {
              seen.replaced = ReadFile(file);
              Mon->Button2->click();
            })
      .Then("the save dialog to cancel", [] { return SaveDialog(); },
            [&] {
              SaveDialog()->selectFile(dir.filePath(QStringLiteral("other.txt")));
              SaveDialog()->reject();
            })
      .Then("cancelled", [] { return ActiveModal() == Mon; }, [] { Mon->Button2->click(); })
      .Then("the save dialog after the cancel", [] { return SaveDialog(); },
            [&] {
              seen.offeredAfterCancel = SaveDialog()->directory().filePath(OfferedName());
              CloseNextMessageBox(&seen.error);
              FileNameEdit()->setText(blocked);
              PressSave();
            })
      .Then("the error box seen", [&] { return seen.error.seen && ActiveModal() == Mon; },
            [&] {
              seen.stayedOpen = Mon->isVisible();
              Mon->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->Monitor->click(); }, 60000));

  // The first line (the receiver's heading) and the last (the prompt) are
  // gone; the rest is what the receiver sent, in its own bytes.
  EXPECT_TRUE(seen.text == monitor) << "the receive text is not the monitor";
  EXPECT_TRUE(seen.memoShown);
  EXPECT_FALSE(seen.watching);
  EXPECT_EQ(seen.memoLines, RxText().LineCount());
  EXPECT_EQ(seen.firstShown, sim::FromCp1250(lines.front()));
  EXPECT_EQ(seen.lastShown, sim::FromCp1250(lines.back()));
  EXPECT_EQ(seen.offered, QStringLiteral("monitor.txt"));
  EXPECT_TRUE(seen.saved == monitor) << "the file is not what the receiver sent";
  EXPECT_EQ(seen.offeredAgain, file);
  EXPECT_TRUE(seen.asked);
  EXPECT_TRUE(seen.replaced == monitor);
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.txt"))));
  EXPECT_EQ(seen.offeredAfterCancel, file);
  EXPECT_EQ(seen.error.text, QStringLiteral("Cannot create file ") + blocked);
  EXPECT_TRUE(seen.stayedOpen);
  EXPECT_TRUE(ReadFile(file) == monitor);

  // "\r", a second for the prompt, "m"; nothing else went out.
  const auto sent = Rx().ReceivedBytes();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].byte, '\r');
  EXPECT_EQ(sent[1].byte, 'm');
  EXPECT_GE(sent[1].ms - sent[0].ms, 990);
}

TEST_F(MonitorDialog, EndsAtThePromptWhereverItStandsAndFailsWithoutItAtTheFortiethTick) {
  StartLoggedIn();
  Mon->Timer1->setInterval(5);  // a fast watch, the 40th tick in moments
  int ticks = 0;
  QObject::connect(Mon->Timer1, &QTimer::timeout, [&] { ++ticks; });
  std::vector<int> activity;
  QObject::connect(&Channel(), &TChannel::ActivityChanged, [&](int a) { activity.push_back(a); });
  struct Case {
    const char* what;
    std::function<void()> receiver;
    bool shown;
    int ticks;  // -1: any
    std::string sent;
    std::string kept;  // the receive text at the end
  } cases[] = {
      {"the prompt in the middle only", [&] { Rx().SetCustomReply('m', "MONITOR\r\nA\r\nCMD> B\r\nC\r\nD"); }, true,
       -1, "\rm", "A\r\nCMD> B\r\nC\r\n"},
      // After a failure the test sends a carriage return of its own: a
      // prompt that comes late.
      {"no prompt after the carriage return", [&] { Rx().SetFault(sim::Fault::NoCmdPrompt); }, false, 0, "\r\r",
       "\r\n\r\nCMD>"},
      {"the closing prompt never comes, or after the 40th tick",
       [&] {
         Rx().SetMonitorLines({"E1", "E2"});
         Rx().SetFault(sim::Fault::MonitorNoEnd);
       },
       false, 40, "\rm\r", "MONITOR UDÁLOSTÍ: 2\r\nE1\r\nE2\r\n\r\nCMD>"},
  };
  for (const Case& c : cases) {
    Rx().ClearFaults();
    Rx().SetCustomReply('m', std::nullopt);
    c.receiver();
    Rx().ClearTraffic();
    ticks = 0;
    activity.clear();
    bool freshLook = false, done = false;
    Script s;
    s.Then("the opening's wait", [] { return Mon->isVisible(); }, [&] { freshLook = ShowsReading(); })
        .Then("the read-out's end", [] { return !Mon->Timer1->isActive() && Mon->Running(); },
              [&] {
                done = c.shown ? Mon->Memo1->isVisible() && Mon->Button2->isEnabled() : ShowsReadFailure();
                // A prompt after the end changes nothing.
                if (!c.shown) {
                  Rx().ClearFaults();
                  SendAndWait("\r", 500);
                  done = done && ShowsReadFailure();
                }
                Mon->Button1->click();
              });
    ASSERT_TRUE(s.Run([] { ZOV->Monitor->click(); })) << c.what;
    EXPECT_TRUE(freshLook) << c.what;
    ASSERT_FALSE(activity.empty()) << c.what;
    EXPECT_EQ(activity.front(), 0) << c.what;
    EXPECT_TRUE(done) << c.what;
    if (c.ticks >= 0) EXPECT_EQ(ticks, c.ticks) << c.what;
    EXPECT_EQ(Rx().ReceivedText(), c.sent) << c.what;
    EXPECT_EQ(sim::FromCp1250(RxText().Text()), c.kept) << c.what;
  }
}

TEST_F(MonitorDialog, OkIsDroppedWhileOpeningClosesDuringTheWatchAndLateLinesStillArrive) {
  sim::Options paced;
  paced.monitorLines = 120;  // 5 s at 9600 baud
  StartLoggedIn(paced);
  bool stayed = false;
  Script s;
  s.Then("the opening's wait", [] { return Mon->isVisible(); }, [] { Mon->Button1->click(); })
      .Then("the watch", [] { return Mon->Timer1->isActive(); },
            [&] {
              stayed = Mon->isVisible() && Rx().ReceivedText() == "\rm";
              Mon->Button1->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->Monitor->click(); }));
  EXPECT_TRUE(stayed);
  EXPECT_FALSE(Mon->isVisible());
  EXPECT_FALSE(Mon->Timer1->isActive());
  EXPECT_FALSE(RxText().Contains("CMD>"));
  EXPECT_TRUE(WaitUntil([] { return RxText().Contains("CMD>"); }, 20000)) << "the rest of the monitor did not come";
  EXPECT_EQ(RxText().LineCount(), 122);
}

TEST_F(MonitorDialog, ClearSendsOneNAndClosesHalfASecondLater) {
  StartLoggedIn();
  Rx().SetMonitorLines({"E1", "E2"});
  Script s;
  s.Then("the monitor shown", [] { return Mon->Nul->isEnabled(); },
         [] {
           Later([] { Mon->Nul->click(); }, 100);  // pressed again during the wait
           Mon->Nul->click();
         });
  ASSERT_TRUE(s.Run([] { ZOV->Monitor->click(); }));
  const auto closed = std::chrono::steady_clock::now();
  EXPECT_FALSE(Mon->isVisible());
  EXPECT_EQ(Rx().ReceivedText(), "\rmn");
  EXPECT_TRUE(Rx().MonitorLines().empty());
  const auto traffic = Rx().Traffic();
  for (const auto& t : traffic) {
    if (t.dir != sim::Direction::Rx || t.bytes != "n") continue;
    const double afterN = std::chrono::duration<double, std::milli>(closed - t.at).count();
    EXPECT_GE(afterN, 490);
  }
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
  Script lost;
  lost.Then("the watch", [] { return Mon->Timer1->isActive(); }, [&] { Rx().Vanish(); })
      .Then("the error box", [] { return !MessageBoxText().isEmpty(); }, pressBox)
      .Then("the failure", [] { return ActiveModal() == Mon; }, [] { Mon->Button1->click(); });
  ASSERT_TRUE(lost.Run([] { ZOV->Monitor->click(); }));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(redUnderTheBox);
  EXPECT_TRUE(boxes.front().startsWith(QStringLiteral("WaitForEvent method failed"))) << boxes.front().toStdString();

  // Opened again on the lost line: the carriage return cannot go out.
  boxes.clear();
  Script refused;
  refused.Then("the error box", [] { return !MessageBoxText().isEmpty(); }, pressBox)
      .Then("the failure", [] { return ActiveModal() == Mon; }, [] { Mon->Button1->click(); });
  ASSERT_TRUE(refused.Run([] { ZOV->Monitor->click(); }));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes.front().startsWith(QStringLiteral("WriteFile function failed"))) << boxes.front().toStdString();
  EXPECT_TRUE(redUnderTheBox);
  EXPECT_EQ(Rx().ReceivedText(), "\rm");
}
