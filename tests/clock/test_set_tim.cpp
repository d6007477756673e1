// The clock dialog end to end: the real windows and the simulated receiver
// on a pseudo-terminal, with what went over the line and when; and the
// computer's clock beside it, from a clock of the test's.
#include <QMessageBox>
#include <QTest>
#include <chrono>
#include <string>
#include <vector>

#include "ReceiverTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "link/Channel.h"

namespace {

using ClockDialog = ReceiverTest;

// What the program sends, with when each send returned, on the program's
// clock: the pacing as the program keeps it.
class Sends {
 public:
  Sends() {
    QObject::connect(&Channel(), &TChannel::Sent, &context_, [this](const std::string& bytes) {
      if (on_) sent_.emplace_back(bytes, std::chrono::steady_clock::now());
    });
  }
  void Start() { on_ = true; }
  int Count() const { return static_cast<int>(sent_.size()); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& [bytes, at] : sent_) t.push_back(bytes);
    return t;
  }
  // Milliseconds from send i to send i + 1.
  long long Gap(int i) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(sent_[i + 1].second - sent_[i].second).count();
  }

 private:
  QObject context_;
  bool on_ = false;
  std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> sent_;
};

void OpenClock() { ZOV->Tim->click(); }
// The opening has ended and the dialog's own loop runs.
bool Open() { return ActiveModal() == SetTim && SetTim->Running(); }
bool ReadDone() { return Open() && SetTim->Button2->isEnabled() && !SetTim->Read->isVisible(); }
bool StatusIs(const char* text) { return SetTim->Read->isVisible() && SetTim->Read->Caption() == QString::fromUtf8(text); }
// What a window manager does when a message on top closes (offscreen does not).
void Reactivate() {
  Later([] { SetTim->activateWindow(); });
}
// Status text, colour, text colour, "Nastavit podle PC" and "Zapsat", in
// one string.
QString Status() {
  return SetTim->Read->Caption() + ' ' + SetTim->Read->Color().name() + ' ' + SetTim->Read->FontColor().name() +
         (SetTim->Button3->isEnabled() ? " pc" : " -") + (SetTim->Button2->isEnabled() ? " zapsat" : " -");
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
  EXPECT_EQ(reading, QStringLiteral("Probíhá čtení hodin přijímače ") + ButtonFaceColor().name() + " #000000 - -");
  EXPECT_TRUE(read.startsWith(QStringLiteral("3 07.12.2026 12:29:"))) << read.toStdString();
  EXPECT_EQ(Rx().ReceivedText(), "\rt");
}

TEST_F(ClockDialog, WriteSendsTheSevenFieldsPacedReadsTheClockBackAndClosesWhenItHolds) {
  StartLoggedIn();
  Sends sent;
  QString opened, writing, verified;
  bool openAfterStorno = false;
  Script s;
  s.Then("read", ReadDone,
         [&] {
           opened = Fields();
           SetTim->Dvt->setText(QStringLiteral("3"));
           SetTim->Dat->setText(QStringLiteral("05.03.2031"));
           SetTim->Tim->setText(QStringLiteral("08:07:06"));
           sent.Start();
           SetTim->Button2->click();
         })
      .Then("the day sent", [&] { return sent.Count() >= 3; },
            [&] {
              writing = Status();
              SetTim->Button1->click();  // closes once the write has ended
            })
      .Then("the month sent", [&] { return sent.Count() >= 5; }, [&] { openAfterStorno = SetTim->isVisible(); })
      .Then("the report", [] { return ActiveModal() == Chyba; }, [&] {
        verified = Chyba->Caption() + ' ' + Chyba->Panel->Caption() + ' ' + Chyba->Panel->Color().name();
        Chyba->Button1->click();
      });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(writing, QStringLiteral("Probíhá zápis hodin přijímače #0000ff #ffffff - -"));
  EXPECT_TRUE(openAfterStorno);
  EXPECT_EQ(verified, QStringLiteral("OK Hodiny přijímače zapsány a ověřeny #008000"));
  EXPECT_FALSE(SetTim->isVisible());
  // The record: the clock as the opening read it, what was written.
  const std::string record = WriteLogText();
  EXPECT_EQ(record.substr(record.find("  hodiny")),
            "  hodiny  " + Rx().PortName() + "  výrobní číslo neznámé  ověřeno\n  před zápisem: " +
                opened.toStdString() + "\n  zapsáno: 3 05.03.2031 08:07:06\n\n");

  // "\r", 1000 ms, "s" and at once the day of week, then a field every 500
  // ms; after the last one's wait "\r", 1000 ms, "t" to read the clock back.
  ASSERT_EQ(sent.Texts(), (std::vector<std::string>{"\r", "s", "3", "05", "03", "31", "08", "07", "06", "\r", "t"}));
  EXPECT_GE(sent.Gap(0), 999);
  for (int i = 2; i < 9; ++i) EXPECT_GE(sent.Gap(i), 499) << sent.Texts()[i];
  EXPECT_GE(sent.Gap(9), 999);
  EXPECT_EQ(Rx().Clock().year, 2031);
}

// A receiver that does not hold the written time is not reported as set:
// the red text says what it shows, nothing more goes out, Storno closes.
TEST_F(ClockDialog, AClockThatDoesNotHoldTheWriteStaysOpenInRed) {
  StartLoggedIn();
  Rx().SetFault(sim::Fault::ClockOff);
  Sends sent;
  QString failed;
  Script s;
  s.Then("read", ReadDone,
         [&] {
           SetTim->Dvt->setText(QStringLiteral("3"));
           SetTim->Dat->setText(QStringLiteral("05.03.2031"));
           SetTim->Tim->setText(QStringLiteral("08:07:06"));
           sent.Start();
           SetTim->Button2->click();
         })
      .Then("not verified", [] { return Open() && SetTim->Read->isVisible() && SetTim->Read->Color() == kRed; },
            [&] {
              failed = Status();
              SetTim->Button1->click();
            });
  ASSERT_TRUE(s.Run(OpenClock));
  // An hour later than written, and moved on by the second or two since.
  EXPECT_TRUE(failed.startsWith(QStringLiteral("Zápis hodin se nepodařilo ověřit\n\nPřijímač ukazuje: 3 05.03.2031 09:07:0")))
      << failed.toStdString();
  EXPECT_TRUE(failed.endsWith(QStringLiteral(" - -")));
  EXPECT_EQ(sent.Texts().back(), "t");
  EXPECT_FALSE(SetTim->isVisible());
  EXPECT_NE(WriteLogText().find("  neověřeno\n"), std::string::npos) << WriteLogText();
}

// "Nastavit podle PC" (Alt+P): the computer's date and time, every field of
// the one moment at which the seconds field goes out, taken on the
// computer's clock as the dialog reads it (here a day and some hours and
// milliseconds off the system's).
TEST_F(ClockDialog, SettingFromThePcWritesTheMomentTheSecondsFieldGoesOut) {
  StartLoggedIn();
  const qint64 offsetMs = 86400000LL + 5 * 3600000LL + 123;
  SetTim->SetClockSource([=] { return QDateTime::currentDateTime().addMSecs(offsetMs); });
  std::vector<std::pair<std::string, qint64>> sent;  // with the dialog's clock when each send returned
  bool recording = false;
  QObject::connect(&Channel(), &TChannel::Sent, SetTim, [&](const std::string& bytes) {
    if (recording) sent.emplace_back(bytes, QDateTime::currentDateTime().addMSecs(offsetMs).toMSecsSinceEpoch());
  });
  QString enabledWhileReading, shown, verified;
  Script s;
  s.Then("reading", [] { return ActiveModal() == SetTim && !SetTim->Running(); },
         [&] { enabledWhileReading = SetTim->Button3->isEnabled() ? "enabled" : "disabled"; })
      .Then("read", ReadDone, [&] {
        recording = true;
        QTest::keyClick(SetTim, Qt::Key_P, Qt::AltModifier);
      })
      .Then("the report", [] { return ActiveModal() == Chyba; }, [&] {
        shown = Fields();
        verified = Chyba->Panel->Caption();
        Chyba->Button1->click();
      });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(enabledWhileReading, "disabled");
  EXPECT_EQ(verified, QStringLiteral("Hodiny přijímače zapsány a ověřeny"));
  ASSERT_EQ(sent.size(), 11u);
  std::string f[7];
  for (int i = 0; i < 7; ++i) f[i] = sent[2 + i].first;
  const QDateTime carried(QDate(2000 + std::stoi(f[3]), std::stoi(f[2]), std::stoi(f[1])),
                          QTime(std::stoi(f[4]), std::stoi(f[5]), std::stoi(f[6])));
  ASSERT_TRUE(carried.isValid());
  EXPECT_EQ(f[0], std::to_string(carried.date().dayOfWeek() % 7));
  EXPECT_EQ(shown.toStdString(), f[0] + " " + f[1] + "." + f[2] + ".20" + f[3] + " " + f[4] + ":" + f[5] + ":" + f[6]);
  // The seconds field goes out in the second it carries, never before it:
  // not the click's second (3 s and more before), nor one computed early.
  const qint64 lag = sent[8].second - carried.toMSecsSinceEpoch();
  EXPECT_GE(lag, 0);
  EXPECT_LT(lag, 1000);
  // "s" waited for it after the prompt's wait, at most a second.
  EXPECT_GE(sent[1].second - sent[0].second, 999);
  EXPECT_GE(sent[1].second, carried.toMSecsSinceEpoch() - 3000);
}

// "Zapsat" takes only a date that exists, in 2000..2099: the receiver would
// roll 31.02. on into March, and read 2100 back as 2000. A refused date
// brings "Nepovolený vstup" with the focus in Dat and sends nothing; an
// accepted one is written and verified.
TEST_F(ClockDialog, OnlyDatesThatExistIn2000To2099AreWritten) {
  StartLoggedIn();
  struct Case {
    const char* dvt;
    const char* dat;
    bool written;
  };
  const Case cases[] = {
      {"2", "31.02.2026", false}, {"0", "29.02.2026", false}, {"4", "31.04.2026", false},
      {"5", "01.01.2100", false}, {"4", "29.02.2024", true},  {"4", "31.12.2099", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dat);
    QString report, focus;
    std::string sent;
    Script s;
    s.Then("read", ReadDone,
           [&] {
             Rx().ClearTraffic();
             SetTim->Dvt->setText(QString::fromLatin1(c.dvt));
             SetTim->Dat->setText(QString::fromLatin1(c.dat));
             SetTim->Tim->setText(QStringLiteral("08:07:06"));
             SetTim->Button2->click();
           })
        .Then("the message", [] { return ActiveModal() == Chyba; }, [&] {
          report = Chyba->Caption() + ' ' + Chyba->Panel->Caption();
          sent = Rx().ReceivedText();
          Chyba->Button1->click();  // a verified write closes the dialog then
          if (!c.written) Reactivate();
        });
    if (!c.written)
      s.Then("back in Dat", [] { return QApplication::focusWidget() == SetTim->Dat; }, [&] {
        focus = QStringLiteral("Dat");
        SetTim->Button1->click();
      });
    ASSERT_TRUE(s.Run(OpenClock));
    if (!c.written) {
      EXPECT_EQ(report, QStringLiteral("Chyba Nepovolený vstup"));
      EXPECT_EQ(focus, QStringLiteral("Dat"));
      EXPECT_EQ(sent, "");
      continue;
    }
    EXPECT_EQ(report, QStringLiteral("OK Hodiny přijímače zapsány a ověřeny"));
    const std::string d(c.dat);
    EXPECT_EQ(sent, "\rs" + std::string(c.dvt) + d.substr(0, 2) + d.substr(3, 2) + d.substr(8, 2) + "080706\rt");
    const sim::ClockTime held = Rx().Clock();
    EXPECT_EQ(QString::asprintf("%02d.%02d.%04d", held.day, held.month, held.year).toStdString(), d);
  }
}

// "Nastavit podle PC" takes the checks "Zapsat" takes: a computer's date
// outside 2000..2099 (a flat CMOS battery's 1970) is named in the red
// message and nothing is sent, also when the computer's clock turns past
// 2099 while the prompt is awaited; the dialog stays as it was.
TEST_F(ClockDialog, SettingFromAPcDateOutside2000To2099SendsNothingAndNamesTheDate) {
  StartLoggedIn();
  struct Case {
    const char* what;
    QDateTime before, afterPrompt;  // the computer's clock before the CR went out, and after
    const char* date;               // the date named
    const char* sent;               // what went out after the click
  };
  const Case cases[] = {
      {"1970", QDateTime(QDate(1970, 1, 1), QTime(0, 0, 1)), QDateTime(QDate(1970, 1, 1), QTime(0, 0, 2)),
       "01.01.1970", ""},
      {"2100", QDateTime(QDate(2100, 3, 1), QTime(12, 0)), QDateTime(QDate(2100, 3, 1), QTime(12, 0, 1)),
       "01.03.2100", ""},
      {"past 2099 during the prompt's wait", QDateTime(QDate(2099, 12, 31), QTime(23, 59, 50)),
       QDateTime(QDate(2100, 1, 1), QTime(0, 0, 5)), "01.01.2100", "\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool prompted = false;
    QObject context;
    QObject::connect(&Channel(), &TChannel::Sent, &context, [&](const std::string& bytes) {
      if (bytes == "\r") prompted = true;
    });
    SetTim->SetClockSource([&] { return prompted ? c.afterPrompt : c.before; });
    QString report, fieldsBefore, after;
    std::string sent;
    Script s;
    s.Then("read", ReadDone,
           [&] {
             Rx().ClearTraffic();
             prompted = false;
             fieldsBefore = Fields();
             SetTim->Button3->click();
           })
        .Then("the message", [] { return ActiveModal() == Chyba; },
              [&] {
                report = Chyba->Panel->Caption() + ' ' + Chyba->Panel->Color().name();
                Chyba->Button1->click();
              })
        .Then("back in the dialog", [] { return ActiveModal() == SetTim; }, [&] {
          sent = Rx().ReceivedText();
          after = Fields() + (SetTim->Read->isVisible() ? " covered" : "") + (SetTim->Button2->isEnabled() ? " zapsat" : "") +
                  (SetTim->Button3->isEnabled() ? " pc" : "");
          SetTim->Button1->click();
        });
    ASSERT_TRUE(s.Run(OpenClock));
    EXPECT_EQ(report, QStringLiteral("Počítač má datum %1 (mimo roky 2000 až 2099). Hodiny přijímače nebyly zapsány; "
                                     "nejdřív opravte datum a čas počítače. #ff0000")
                          .arg(QString::fromLatin1(c.date)));
    EXPECT_EQ(sent, c.sent);
    EXPECT_EQ(after, fieldsBefore + " zapsat pc");
  }
  SetTim->SetClockSource([] { return QDateTime::currentDateTime(); });
}

// Leaving a field toward Storno checks nothing: Storno abandons the edit.
TEST_F(ClockDialog, LeavingTowardStornoChecksNothing) {
  StartLoggedIn();
  QWidget* modal = nullptr;
  Script s;
  s.Then("read", ReadDone,
         [] {
           SetTim->Dvt->setFocus(Qt::TabFocusReason);
           SetTim->Dvt->selectAll();
           QTest::keyClicks(SetTim->Dvt, QStringLiteral("9"));
           QTest::keyClick(SetTim->Dvt, Qt::Key_Backtab);  // Storno is before Dvt
         })
      .Then("on Storno", [] { return QApplication::focusWidget() == SetTim->Button1; },
            // Later: after the leave that the focus change queued.
            [&] { Later([&] { modal = ActiveModal(); SetTim->Button1->click(); }); });
  ASSERT_TRUE(s.Run(OpenClock));
  EXPECT_EQ(modal, SetTim);
  EXPECT_EQ(Rx().ReceivedText(), "\rt");
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

  EXPECT_EQ(readFailed, QStringLiteral("Chyba čtení hodin přijímače #ff0000 #ffffff - -"));
  EXPECT_EQ(under, before);
  EXPECT_EQ(readSent, "\r");
  EXPECT_EQ(writeFailed, QStringLiteral("Chyba zápisu hodin přijímače #ff0000 #ffffff - -"));
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
  EXPECT_EQ(failed, QStringLiteral("Chyba zápisu hodin přijímače #ff0000 #ffffff - -"));
  EXPECT_EQ(boxes, 1) << texts.join(QStringLiteral(" | ")).toStdString();

  // The next opening's read fails at its first send the same way.
  Script again;
  again.Then("read failed", [] { return Open() && StatusIs("Chyba čtení hodin přijímače"); },
             [&] {
               failed = Status();
               SetTim->Button1->click();
             });
  ASSERT_TRUE(again.Run(OpenClock));
  EXPECT_EQ(failed, QStringLiteral("Chyba čtení hodin přijímače #ff0000 #ffffff - -"));
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
