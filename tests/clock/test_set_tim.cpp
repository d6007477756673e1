// The clock dialog end to end: the real windows, the main window's port and
// the simulated receiver on a pseudo-terminal, with what went over the line
// and when; and the computer's clock beside it with a clock of the test's.
#include <QApplication>
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
// bytes arrive; a gap between two stamps may look this much shorter than
// the program's wait.
constexpr double kStampSlackMs = 30;

bool Reading() { return ActiveModal() == SetTim && SetTim->Read->isVisible() && !SetTim->Button2->isEnabled(); }
// The opening has ended and the dialog's own loop runs (a close request
// made before would be dropped).
bool Open() { return ActiveModal() == SetTim && SetTim->Running(); }
bool ReadDone() { return Open() && SetTim->Button2->isEnabled() && !SetTim->Read->isVisible(); }
void OpenClock() { ZOV->Tim->click(); }

// As a window manager gives the dialog back its activation when a message
// on top of it closes (the offscreen platform does not).
void Reactivate() {
  Later([] { SetTim->activateWindow(); });
}

struct TFields {
  QString dvt, dat, tim;
};
TFields Fields() { return {SetTim->Dvt->text(), SetTim->Dat->EditText(), SetTim->Tim->EditText()}; }

struct TStatus {
  QString caption;
  QColor color, fontColor;
  bool visible = false;
  bool writeEnabled = true;
};
TStatus Status() {
  return {SetTim->Read->Caption(), SetTim->Read->Color(), SetTim->Read->FontColor(), SetTim->Read->isVisible(),
          SetTim->Button2->isEnabled()};
}

}  // namespace

TEST_F(ClockDialog, OpeningReadsTheReceiversClockAndStornoMeanwhileIsDropped) {
  StartLoggedIn();
  Rx().SetClock({3, 7, 12, 2026, 12, 29, 7});
  TStatus reading;
  bool openAfterRead = false;
  TFields read;
  Script s;
  s.Then("reading", Reading,
         [&] {
           reading = Status();
           SetTim->Button1->click();  // dropped: the opening runs to its end
         })
      .Then("read", ReadDone,
            [&] {
              openAfterRead = SetTim->isVisible();
              read = Fields();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(s.Run(OpenClock));

  EXPECT_EQ(reading.caption, QStringLiteral("Probíhá čtení hodin přijímače"));
  EXPECT_EQ(reading.color, ButtonFaceColor());
  EXPECT_EQ(reading.fontColor, QColor(Qt::black));
  EXPECT_FALSE(reading.writeEnabled);
  EXPECT_TRUE(openAfterRead);
  EXPECT_EQ(read.dvt, QStringLiteral("3"));
  EXPECT_EQ(read.dat, QStringLiteral("07.12.2026"));
  EXPECT_TRUE(read.tim.startsWith(QStringLiteral("12:29:"))) << read.tim.toStdString();
  EXPECT_EQ(Rx().ReceivedText(), "\rt");
}

TEST_F(ClockDialog, WriteSendsTheSevenFieldsPacedEndsBeforeStornoClosesAndIsReadBack) {
  StartLoggedIn();
  TStatus writing;
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
      .Then("the day on the line", [&] { return Rx().ReceivedText().size() >= 5; },
            [&] {
              writing = Status();
              SetTim->Button1->click();  // closes once the write has ended
            })
      .Then("the month on the line", [&] { return Rx().ReceivedText().size() >= 7; },
            [&] { openAfterStorno = SetTim->isVisible(); });
  ASSERT_TRUE(s.Run(OpenClock, 30000));

  EXPECT_EQ(writing.caption, QStringLiteral("Probíhá zápis hodin přijímače"));
  EXPECT_EQ(writing.color, QColor(0, 0, 255));
  EXPECT_EQ(writing.fontColor, QColor(255, 255, 255));
  EXPECT_FALSE(writing.writeEnabled);
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
  ASSERT_TRUE(Rx().WaitFor([&] { return Rx().Clock().year == 2031; }, 5000));

  TFields readBack;
  Script again;
  again.Then("read", ReadDone, [&] {
    readBack = Fields();
    SetTim->Button1->click();
  });
  ASSERT_TRUE(again.Run(OpenClock));
  EXPECT_EQ(readBack.dvt, QStringLiteral("3"));
  EXPECT_EQ(readBack.dat, QStringLiteral("05.03.2031"));
  EXPECT_TRUE(readBack.tim.startsWith(QStringLiteral("08:07:"))) << readBack.tim.toStdString();
}

TEST_F(ClockDialog, NoPromptOnOpeningTurnsTheStatusRedAndLeavesTheFieldsAndWritingAlone) {
  StartLoggedIn();
  Rx().SetFault(sim::Fault::NoCmdPrompt);
  const TFields before = Fields();
  TStatus failed;
  TFields under;
  Script s;
  s.Then("read failed",
         [] { return Open() && SetTim->Read->Caption() == QStringLiteral("Chyba čtení hodin přijímače"); },
         [&] {
           failed = Status();
           under = Fields();
           SetTim->Button1->click();
         });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(failed.color, QColor(255, 0, 0));
  EXPECT_EQ(failed.fontColor, QColor(255, 255, 255));
  EXPECT_TRUE(failed.visible);
  EXPECT_FALSE(failed.writeEnabled);
  EXPECT_EQ(under.dvt, before.dvt);
  EXPECT_EQ(under.dat, before.dat);
  EXPECT_EQ(Rx().ReceivedText(), "\r");
}

TEST_F(ClockDialog, NoPromptBeforeAWriteSaysSoSendsNothingMoreAndStornoCloses) {
  StartLoggedIn();
  TStatus failed;
  bool open = false;
  Script s;
  s.Then("read", ReadDone,
         [&] {
           Rx().SetFault(sim::Fault::NoCmdPrompt);
           Rx().ClearTraffic();
           SetTim->Button2->click();
         })
      .Then("write failed",
            [] { return SetTim->Read->Caption() == QStringLiteral("Chyba zápisu hodin přijímače"); },
            [&] {
              failed = Status();
              open = SetTim->isVisible();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_TRUE(open);
  EXPECT_EQ(failed.color, QColor(255, 0, 0));
  EXPECT_EQ(failed.fontColor, QColor(255, 255, 255));
  EXPECT_FALSE(failed.writeEnabled);
  EXPECT_EQ(Rx().ReceivedText(), "\r");
}

TEST_F(ClockDialog, FieldsAreCheckedOnLeavingAndAgainBeforeAWrite) {
  StartLoggedIn();
  Rx().SetClock({3, 7, 12, 2026, 12, 29, 7});
  const QString kRefused = QStringLiteral("Nepovolený vstup");
  QString dvtMessage, datBox, blankBox, writeMessage;
  QWidget* focusAfterBlank = nullptr;
  int caret = -1;
  QString restored;
  std::string sentByRefusedWrite = "?";
  Script s;
  s.Then("read", ReadDone,
         [] {
           SetTim->Dvt->setFocus(Qt::TabFocusReason);
           SetTim->Dvt->selectAll();
           QTest::keyClicks(SetTim->Dvt, QStringLiteral("7"));
           QTest::keyClick(SetTim->Dvt, Qt::Key_Tab);
         })
      .Then("day of week refused", [] { return ActiveModal() == Chyba; },
            [&] {
              dvtMessage = Chyba->Panel->Caption();
              Chyba->Button1->click();
              Reactivate();
            })
      .Then("back in Dvt", [] { return QApplication::focusWidget() == SetTim->Dvt; },
            [] {
              SetTim->Dvt->selectAll();
              QTest::keyClicks(SetTim->Dvt, QStringLiteral("06"));
              QTest::keyClick(SetTim->Dvt, Qt::Key_Tab);
            })
      .Then("in Dat", [] { return QApplication::focusWidget() == SetTim->Dat; },
            [] {
              SetTim->Dat->selectAll();
              QTest::keyClick(SetTim->Dat, Qt::Key_Delete);
              QTest::keyClick(SetTim->Dat, Qt::Key_Tab);
            })
      .Then("half-filled date refused", [] { return !MessageBoxText().isEmpty(); },
            [&] {
              datBox = MessageBoxText();
              PressMessageBoxOk();
              Reactivate();
            })
      .Then("back in Dat", [] { return QApplication::focusWidget() == SetTim->Dat; },
            [&] {
              caret = SetTim->Dat->cursorPosition();
              QTest::keyClick(SetTim->Dat, Qt::Key_Escape);
              restored = SetTim->Dat->EditText();
              // A blank day passes the mask but is no number.
              SetTim->Dat->setSelection(0, 2);
              QTest::keyClick(SetTim->Dat, Qt::Key_Delete);
              QTest::keyClick(SetTim->Dat, Qt::Key_Tab);
            })
      .Then("blank day", [] { return !MessageBoxText().isEmpty(); },
            [&] {
              blankBox = MessageBoxText();
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
              writeMessage = Chyba->Panel->Caption();
              Chyba->Button1->click();
              Reactivate();
            })
      .Then("back in Tim", [] { return QApplication::focusWidget() == SetTim->Tim; },
            [&] {
              sentByRefusedWrite = Rx().ReceivedText();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(s.Run(OpenClock));

  EXPECT_EQ(dvtMessage, kRefused);
  EXPECT_EQ(datBox, QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
  EXPECT_EQ(caret, 6);  // the first year digit
  EXPECT_EQ(restored, QStringLiteral("07.12.2026"));
  EXPECT_EQ(blankBox, QStringLiteral("'  ' is not a valid integer value"));
  EXPECT_EQ(focusAfterBlank, SetTim->Tim);  // a conversion error puts no focus back
  EXPECT_EQ(writeMessage, kRefused);
  EXPECT_EQ(sentByRefusedWrite, "");
}

TEST(PcClockDisplay, TicksOnTheSecondWhetherShownOrNotWithSundayAsZero) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QStringLiteral("cs_CZ")));
  {
    TSetTim dialog;
    EXPECT_EQ(dialog.DOW->Caption(), QStringLiteral("DOW"));
    EXPECT_EQ(dialog.PCD->Caption(), QStringLiteral("PCD"));
    EXPECT_EQ(dialog.PCT->Caption(), QStringLiteral("PCT"));
    QDateTime now(QDate(2024, 6, 2), QTime(18, 3, 2, 250));
    dialog.SetClockSource([&] { return now; });
    ASSERT_TRUE(WaitUntil([&] { return dialog.DOW->Caption() == QStringLiteral("0"); }));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.PCD->Caption(), QStringLiteral("02.06.24"));
    EXPECT_EQ(dialog.PCT->Caption(), QStringLiteral("18:03:02"));
    // The next tick comes just past the next whole second, not a second on.
    EXPECT_EQ(dialog.Timer1->interval(), 755);
    now = QDateTime(QDate(2024, 6, 8), QTime(6, 3, 2));
    ASSERT_TRUE(WaitUntil([&] { return dialog.DOW->Caption() == QStringLiteral("6"); }));
    EXPECT_EQ(dialog.PCT->Caption(), QStringLiteral("6:03:02"));
  }
  QLocale::setDefault(saved);
}

// A lost line, during the opening read or before a write: the failure text
// in red, "Zapsat" off, and the port's error shown once for the one send
// that failed (no further sends). The event thread's own report of the same
// loss ("WaitForEvent method failed") is the serial component's to merge, so
// only the dialog's own boxes are counted.
class LostLine : public ClockDialog {
 protected:
  void SetUp() override {
    closer_.setInterval(5);
    QObject::connect(&closer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
        if (box->text().startsWith(QStringLiteral("WriteFile function failed"))) ++sendErrors;
        box->button(QMessageBox::Ok)->click();
      }
    });
    closer_.start();
  }
  void Vanish() {
    Rx().Vanish();
    ASSERT_TRUE(Rx().WaitForState(sim::State::Vanished, 5000));
  }
  int sendErrors = 0;

 private:
  QTimer closer_;
};

TEST_F(LostLine, EndsTheOpeningReadInRed) {
  StartLoggedIn();
  Vanish();
  TStatus failed;
  Script s;
  s.Then("read failed",
         [] { return Open() && SetTim->Read->Caption() == QStringLiteral("Chyba čtení hodin přijímače"); },
         [&] {
           failed = Status();
           SetTim->Button1->click();
         });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(failed.color, QColor(255, 0, 0));
  EXPECT_FALSE(failed.writeEnabled);
  EXPECT_EQ(sendErrors, 1);
}

TEST_F(LostLine, EndsTheWriteInRedAndTheDialogStaysOpen) {
  StartLoggedIn();
  TStatus failed;
  bool open = false;
  Script s;
  s.Then("read", ReadDone,
         [&] {
           Vanish();
           SetTim->Button2->click();
         })
      .Then("write failed", [] { return SetTim->Read->Caption() == QStringLiteral("Chyba zápisu hodin přijímače"); },
            [&] {
              failed = Status();
              open = SetTim->isVisible();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_TRUE(open);
  EXPECT_EQ(failed.color, QColor(255, 0, 0));
  EXPECT_FALSE(failed.writeEnabled);
  EXPECT_EQ(sendErrors, 1);
}
