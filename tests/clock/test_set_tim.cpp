// The clock dialog end to end: the real windows and the simulated receiver
// on a pseudo-terminal, with what went over the line and when; and the
// computer's clock beside it, from a clock of the test's.
#include <QMessageBox>
#include <QTest>

#include "ReceiverTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"

namespace {

using ClockDialog = ReceiverTest;

// The receiver stamps a read when its thread gets to it, a moment after the
// bytes came: a gap between stamps may look this much shorter than a wait.
constexpr double kStampSlackMs = 30;

void OpenClock() { ZOV->Tim->click(); }
// The opening has ended and the dialog's own loop runs.
bool Open() { return ActiveModal() == SetTim && SetTim->Running(); }
bool ReadDone() { return Open() && SetTim->Button2->isEnabled() && !SetTim->Read->isVisible(); }
bool StatusIs(const char* text) { return SetTim->Read->isVisible() && SetTim->Read->Caption() == QString::fromUtf8(text); }
// What a window manager does when a message on top closes (offscreen does not).
void Reactivate() {
  Later([] { SetTim->activateWindow(); });
}
// Status text, colour, text colour and "Zapsat", in one string.
QString Status() {
  return SetTim->Read->Caption() + ' ' + SetTim->Read->Color().name() + ' ' + SetTim->Read->FontColor().name() +
         (SetTim->Button2->isEnabled() ? " zapsat" : " -");
}
QString Fields() { return SetTim->Dvt->text() + ' ' + SetTim->Dat->EditText() + ' ' + SetTim->Tim->EditText(); }

}  // namespace

TEST_F(ClockDialog, OpeningReadsTheReceiversClockAndStornoMeanwhileIsDropped) {
  StartLoggedIn();
  Rx().SetClock({3, 7, 12, 2026, 12, 29, 7});
  QString reading, read;
  Script s;
  s.Then("reading", [] { return ActiveModal() == SetTim && !SetTim->Button2->isEnabled(); },
         [&] {
           reading = Status();
           SetTim->Button1->click();  // dropped: the opening runs to its end
         })
      .Then("read", ReadDone, [&] {
        read = Fields();
        SetTim->Button1->click();
      });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(reading, QStringLiteral("Probíhá čtení hodin přijímače ") + ButtonFaceColor().name() + " #000000 -");
  EXPECT_TRUE(read.startsWith(QStringLiteral("3 07.12.2026 12:29:"))) << read.toStdString();
  EXPECT_EQ(Rx().ReceivedText(), "\rt");
}

TEST_F(ClockDialog, WriteSendsTheSevenFieldsPacedEndsBeforeStornoClosesAndIsReadBack) {
  StartLoggedIn();
  QString writing, readBack;
  bool openAfterStorno = false;
  Script s;
  s.Then("read", ReadDone,
         [&] {
           SetTim->Dvt->setText(QStringLiteral("3"));
           SetTim->Dat->setText(QStringLiteral("05.03.2031"));
           SetTim->Tim->setText(QStringLiteral("08:07:06"));
           Rx().ClearTraffic();
           SetTim->Button2->click();
         })
      .Then("the day sent", [&] { return Rx().ReceivedText().size() >= 5; },
            [&] {
              writing = Status();
              SetTim->Button1->click();  // closes once the write has ended
            })
      .Then("the month sent", [&] { return Rx().ReceivedText().size() >= 7; },
            [&] { openAfterStorno = SetTim->isVisible(); });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(writing, QStringLiteral("Probíhá zápis hodin přijímače #0000ff #ffffff -"));
  EXPECT_TRUE(openAfterStorno);

  // "\r", 1000 ms, "s" and at once the day of week, then a field every 500 ms.
  const auto bytes = Rx().ReceivedBytes();
  std::string text;
  for (const auto& b : bytes) text += static_cast<char>(b.byte);
  ASSERT_EQ(text, "\rs3050331080706");
  EXPECT_GE(bytes[1].ms - bytes[0].ms, 1000 - kStampSlackMs);
  const std::size_t fieldStarts[] = {2, 3, 5, 7, 9, 11, 13};
  for (std::size_t i = 1; i < std::size(fieldStarts); ++i)
    EXPECT_GE(bytes[fieldStarts[i]].ms - bytes[fieldStarts[i - 1]].ms, 500 - kStampSlackMs) << "field " << i;

  Script again;
  again.Then("read", ReadDone, [&] {
    readBack = Fields();
    SetTim->Button1->click();
  });
  ASSERT_TRUE(again.Run(OpenClock));
  EXPECT_TRUE(readBack.startsWith(QStringLiteral("3 05.03.2031 08:07:"))) << readBack.toStdString();
}

TEST_F(ClockDialog, NoPromptTurnsTheStatusRedOnOpeningAndBeforeAWriteAndSendsNothingMore) {
  StartLoggedIn();
  Rx().SetFault(sim::Fault::NoCmdPrompt);
  const QString before = Fields();
  QString readFailed, under, writeFailed;
  std::string readSent, writeSent;
  Script s;
  s.Then("read failed", [] { return Open() && StatusIs("Chyba čtení hodin přijímače"); },
         [&] {
           readFailed = Status();
           under = Fields();
           readSent = Rx().ReceivedText();
           SetTim->Button1->click();
         });
  ASSERT_TRUE(s.Run(OpenClock));

  Rx().ClearFaults();
  Script write;
  write
      .Then("read", ReadDone,
            [&] {
              Rx().SetFault(sim::Fault::NoCmdPrompt);
              Rx().ClearTraffic();
              SetTim->Button2->click();
            })
      .Then("write failed", [] { return Open() && StatusIs("Chyba zápisu hodin přijímače"); },
            [&] {
              writeFailed = Status();
              writeSent = Rx().ReceivedText();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(write.Run(OpenClock));

  EXPECT_EQ(readFailed, QStringLiteral("Chyba čtení hodin přijímače #ff0000 #ffffff -"));
  EXPECT_EQ(under, before);
  EXPECT_EQ(readSent, "\r");
  EXPECT_EQ(writeFailed, QStringLiteral("Chyba zápisu hodin přijímače #ff0000 #ffffff -"));
  EXPECT_EQ(writeSent, "\r");
}

TEST_F(ClockDialog, FieldsAreCheckedOnLeavingAndAgainBeforeAWrite) {
  StartLoggedIn();
  QString dvtRefused, blankDay, writeRefused;
  QWidget* focusAfterBlank = nullptr;
  std::string sentByRefusedWrite = "?";
  Script s;
  s.Then("read", ReadDone,
         [] {
           SetTim->Dvt->setFocus(Qt::TabFocusReason);
           QTest::keyClicks(SetTim->Dvt, QStringLiteral("7"));
           QTest::keyClick(SetTim->Dvt, Qt::Key_Tab);
         })
      .Then("day of week refused", [] { return ActiveModal() == Chyba; },
            [&] {
              dvtRefused = Chyba->Panel->Caption();
              Chyba->Button1->click();
              Reactivate();
            })
      .Then("back in Dvt", [] { return QApplication::focusWidget() == SetTim->Dvt; },
            [] {
              SetTim->Dvt->selectAll();
              QTest::keyClicks(SetTim->Dvt, QStringLiteral("06"));
              QTest::keyClick(SetTim->Dvt, Qt::Key_Tab);
              // A blank day passes the mask but is no number.
              SetTim->Dat->setSelection(0, 2);
              QTest::keyClick(SetTim->Dat, Qt::Key_Delete);
              QTest::keyClick(SetTim->Dat, Qt::Key_Tab);
            })
      .Then("blank day", [] { return !MessageBoxText().isEmpty(); },
            [&] {
              blankDay = MessageBoxText();
              PressMessageBoxOk();
              Reactivate();
            })
      .Then("active again", [] { return QApplication::activeWindow() == SetTim; },
            [&] {
              focusAfterBlank = QApplication::focusWidget();
              SetTim->Dat->setText(QStringLiteral("05.03.2031"));
              SetTim->Tim->setText(QStringLiteral("24:00:00"));
              Rx().ClearTraffic();
              SetTim->Button2->click();
            })
      .Then("hour refused before writing", [] { return ActiveModal() == Chyba; },
            [&] {
              writeRefused = Chyba->Panel->Caption();
              Chyba->Button1->click();
              Reactivate();
            })
      .Then("back in Tim", [] { return QApplication::focusWidget() == SetTim->Tim; },
            [&] {
              sentByRefusedWrite = Rx().ReceivedText();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(dvtRefused, QStringLiteral("Nepovolený vstup"));
  EXPECT_EQ(blankDay, QStringLiteral("'  ' is not a valid integer value"));
  EXPECT_EQ(focusAfterBlank, SetTim->Tim);  // a conversion error puts no focus back
  EXPECT_EQ(writeRefused, QStringLiteral("Nepovolený vstup"));
  EXPECT_EQ(sentByRefusedWrite, "");
}

// A port error ends the sequence: its red failure text, the error shown
// once for the send that failed, and nothing more sent. The event thread's own report of the same loss ("WaitForEvent
// method failed") is the serial component's to merge: not counted here.
TEST_F(ClockDialog, ALostLineEndsTheWriteAndTheReadInRedWithTheSendsErrorShownOnce) {
  StartLoggedIn();
  // Every error box, whichever side of the port reports the loss first.
  int boxes = 0;
  QStringList texts;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
      ++boxes;
      texts << box->text();
      box->button(QMessageBox::Ok)->click();
    }
  });
  closer.start(5);
  QString failed;
  Script s;
  s.Then("read", ReadDone,
         [&] {
           Rx().Vanish();
           ASSERT_TRUE(Rx().WaitForState(sim::State::Vanished, 5000));
           SetTim->Button2->click();
         })
      .Then("write failed", [] { return Open() && StatusIs("Chyba zápisu hodin přijímače"); },
            [&] {
              failed = Status();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(failed, QStringLiteral("Chyba zápisu hodin přijímače #ff0000 #ffffff -"));
  EXPECT_EQ(boxes, 1) << texts.join(QStringLiteral(" | ")).toStdString();

  // The next opening's read fails at its first send the same way.
  Script again;
  again.Then("read failed", [] { return Open() && StatusIs("Chyba čtení hodin přijímače"); },
             [&] {
               failed = Status();
               SetTim->Button1->click();
             });
  ASSERT_TRUE(again.Run(OpenClock));
  EXPECT_EQ(failed, QStringLiteral("Chyba čtení hodin přijímače #ff0000 #ffffff -"));
  EXPECT_EQ(boxes, 2) << texts.join(QStringLiteral(" | ")).toStdString();
}

TEST(PcClockDisplay, TicksJustPastEverySecondWhetherShownOrNot) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QStringLiteral("cs_CZ")));
  {
    TSetTim dialog;
    EXPECT_EQ(dialog.DOW->Caption() + dialog.PCD->Caption() + dialog.PCT->Caption(), QStringLiteral("DOWPCDPCT"));
    QDateTime now(QDate(2024, 6, 2), QTime(18, 3, 2, 250));
    dialog.SetClockSource([&] { return now; });
    ASSERT_TRUE(WaitUntil([&] { return dialog.DOW->Caption() == QStringLiteral("0"); }));
    EXPECT_EQ(dialog.PCD->Caption() + ' ' + dialog.PCT->Caption(), QStringLiteral("02.06.24 18:03:02"));
    EXPECT_EQ(dialog.Timer1->interval(), 755);  // to just past the next whole second
    now = QDateTime(QDate(2024, 6, 8), QTime(6, 3, 2));
    ASSERT_TRUE(WaitUntil([&] { return dialog.DOW->Caption() == QStringLiteral("6"); }));
    EXPECT_FALSE(dialog.isVisible());
  }
  QLocale::setDefault(saved);
}
