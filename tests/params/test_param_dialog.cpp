// The parameters dialog end to end: the main window's "Parametry
// přijímače" after a login, the simulated receiver on a pseudo-terminal,
// and what went over the line.
#include <QDir>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <set>

#include <QTest>

#include "ReceiverTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/Channel.h"
#include "link/Login.h"
#include "link/Sleeper.h"
#include "params/Parametry.h"
#include "writelog/WriteLog.h"

namespace {

const QString kReadFailed = QStringLiteral("Chyba čtení parametrů přijímače");
const QString kWriting = QStringLiteral("Probíhá zápis parametrů přijímače");
const QString kWriteFailed = QStringLiteral("Chyba zápisu parametrů přijímače");

class ParamDialog : public ReceiverTest {
 protected:
  using Clock = std::chrono::steady_clock;  // the simulator's clock
  // The read-out has ended (the dialog's own loop runs).
  static bool ReadOutDone() { return ActiveModal() == Parametry && Parametry->Running(); }
  // The field the dialog's focus is in: its control's name.
  static QString FocusName() {
    QWidget* f = Parametry->focusWidget();
    if (!f) return QString();
    return qobject_cast<TSpinEdit*>(f->parentWidget()) ? f->parentWidget()->objectName() : f->objectName();
  }
};

// Closes every error box that opens, recording its text.
struct ErrorBoxes {
  QStringList texts;
  QTimer poll;
  ErrorBoxes() {
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
        texts << box->text();
        box->button(QMessageBox::Ok)->click();
      }
    });
    poll.start();
  }
};

}  // namespace

TEST_F(ParamDialog, ShowsTheStoredSetWritesTheEditedFrameVerifiesItAndCloses) {
  StartLoggedIn();
  sim::ParamSet stored = sim::Receiver::DefaultParams();
  stored[11] = 200;  // P1 and F11 out of their ranges: written back as they are
  stored[40] = 9;
  Rx().SetParams(stored);
  OperatorCode = 42;  // the login's code; the Op panel shows the stored 100

  TParametry* d = Parametry;
  // Every send of the program with the moment it returned, on the
  // program's clock; the progress bar's value when it did.
  std::vector<std::pair<std::string, Clock::time_point>> sent;
  std::vector<int> progress;
  bool recording = false;
  std::string dots;  // the receive text as the frame's last byte goes out
  QObject::connect(&Channel(), &TChannel::Sent, d, [&](const std::string& bytes) {
    if (!recording) return;
    sent.emplace_back(bytes, Clock::now());
    progress.push_back(d->status->value());
    if (sent.size() == 2 + 128) dots = RxText().Text();
  });
  QStringList shown, writing, verified;
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
       shown << d->Op->Caption() << d->Zapis->Caption() << FocusName() << (d->Notice->isVisible() ? "notice" : "-");
       params::ForEachField([&](const std::string& name) {
         QWidget* f = d->Field(name);
         auto* spin = qobject_cast<TSpinEdit*>(f);
         shown << (spin ? spin->Text() : static_cast<QLineEdit*>(f)->text());
       });
       d->Adr2->setText("2097151");
       d->Adr3->setText("$1F8198");
       d->P4->setText("136");
       d->P5->setText("144");
       d->Ser1->setText("131");
       d->Ser2->setText("0");
       d->Dead->SetText("255");
       d->Dau1->SetText("12");  // one transmitter: Dau2 follows
       // Typed and not left: the write holds it to the range as leaving would.
       d->F12->Edit()->setFocus(Qt::OtherFocusReason);
       d->F12->Edit()->selectAll();
       QTest::keyClicks(d->F12->Edit(), "7");
       recording = true;
       d->Button1->click();  // returns when the write has ended
     })
      .Then("ten bytes of the frame", [&] { return sent.size() >= 2 + 10; }, [&] {
        writing << d->Read->Caption() << (d->Read->Color() == kBlue ? "blue" : "?")
                << (d->status->isVisible() && d->status->value() >= 9 ? "progress" : "?")
                << (d->Button1->isEnabled() ? "?" : "disabled");
        d->Button2->click();  // does not interrupt the write
      })
      .Then("the verified write", [] { return ActiveModal() == Chyba; }, [&] {
        verified << Chyba->Caption() << Chyba->Panel->Caption() << (Chyba->Panel->Color() == kGreen ? "green" : "?");
        Chyba->Button1->click();
      });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }, 60000));
  EXPECT_FALSE(d->isVisible());

  QStringList expected = {"100", "1", "Adr1", "-"};
  const int addresses[8] = {543001, 543002, 600100, 1048575, 0, 0, 0, 0};
  for (int n = 0; n < 8; ++n) {
    expected << QString::number(addresses[n]);
    for (int c = 0; c < 4; ++c) expected << QString::number(stored[40 + 4 * n + c]);
  }
  expected << "200" << "2" << "3" << "0" << "0" << "2" << "180" << "7" << "15" << "15" << "18" << "52";
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(writing, (QStringList{kWriting, "blue", "progress", "disabled"}));
  EXPECT_EQ(verified, (QStringList{"OK", QStringLiteral("Parametry zapsány a ověřeny"), "green"}));

  // On the line after the read-out's "e": CR, "z", then the frame, every
  // byte by itself (0x81, 0x83, 0x88, 0x90, 0x98 among them), then "e" to
  // read the set back.
  sim::ParamSet image = stored;
  image[2] = 255, image[3] = 0, image[4] = 0x83, image[5] = 0, image[6] = 42, image[8] = image[9] = 12;
  image[14] = 0x88, image[15] = 0x90;
  image[41] = 5;
  const std::uint8_t adr23[6] = {0x1F, 0xFF, 0xFF, 0x1F, 0x81, 0x98};
  std::copy(adr23, adr23 + 6, image.begin() + 19);
  std::string line;
  for (const auto& [bytes, at] : sent) line += bytes;
  ASSERT_EQ(line, "\rz" + std::string(image.begin(), image.end()) + std::string(56, '\xFF') + "e");
  ASSERT_EQ(sent.size(), 2u + 128u + 1u);  // every byte of the frame by itself
  EXPECT_EQ(Rx().Params(), image);
  // The waits, where the program keeps them: 1000 ms after the CR, 500 ms
  // after "z", 100 ms after every byte of the frame; the progress bar shows
  // the byte that goes out.
  using std::chrono::milliseconds;
  const auto gap = [&](std::size_t i) { return sent[i + 1].second - sent[i].second; };
  EXPECT_GE(gap(0), milliseconds(999));
  EXPECT_GE(gap(1), milliseconds(499));
  for (std::size_t i = 2; i < 2 + 128; ++i) {
    EXPECT_GE(gap(i), milliseconds(99)) << "byte " << i - 2;
    EXPECT_EQ(progress[i], static_cast<int>(i - 2));
  }
  // The receive text: the receiver's replies among a dot for every byte
  // sent and a star after the set's 72.
  dots.erase(std::remove_if(dots.begin(), dots.end(), [](char c) { return c != '.' && c != '*'; }), dots.end());
  EXPECT_EQ(dots, std::string(72, '.') + "*" + std::string(55, '.'));

  // A second read-out shows what was written.
  QStringList again;
  Script s2;
  s2.Then("the second read-out", ReadOutDone, [&] {
    again << d->Op->Caption() << d->Zapis->Caption() << d->Adr2->text() << d->Adr3->text() << d->Dead->Text()
          << d->Ser1->text() << d->P1->text() << d->P4->text() << d->F11->Text() << d->F12->Text() << d->Dau2->Text();
    d->Button2->click();
  });
  ASSERT_TRUE(s2.Run([] { ZOV->Params->click(); }));
  EXPECT_EQ(again, (QStringList{"42", "0", "2097151", "2064792", "255", "131", "200", "136", "9", "5", "12"}));
}

// After the frame the set is read back. Only a receiver that holds it gives
// the green report and closes the dialog; otherwise the red text says which
// fields differ, that the read-back was damaged, or that the receiver did
// not answer, the write stays disabled, nothing more goes out and Storno
// closes.
struct VerifyCase {
  const char* what;
  std::set<sim::Fault> faults;
  bool silentAfterFrame;
  const char* readBack;  // the reply to the read-back's "e" instead of the receiver's own
  QString report;        // the green message, or the red status text
  const char* recorded;  // the outcome in the write log
};
const VerifyCase kVerifyCases[] = {
    {"holds", {}, false, nullptr, QStringLiteral("Parametry zapsány a ověřeny"), "ověřeno"},
    {"keeps_the_old_set", {sim::Fault::KeepsOldSet}, false, nullptr,
     QStringLiteral("Zápis parametrů se nepodařilo ověřit\n\nMrtvý čas: zapsáno 99, v přijímači 180\n"
                    "Adresa (2): zapsáno 7, v přijímači 543002\nAdresa (8), sloupec 4: zapsáno 1, v přijímači 5"),
     "neověřeno"},
    {"falls_silent_after_the_frame", {}, true, nullptr,
     QStringLiteral("Zápis parametrů se nepodařilo ověřit\n\nPřijímač neodpověděl"), "neověřeno"},
    // Not a list of fields "v přijímači 0" that no reply showed.
    {"reads_back_the_prompt_and_no_set", {}, false, "\r\nCMD>",
     QStringLiteral("Zápis parametrů se nepodařilo ověřit\n\nOdpověď přijímače je poškozená"), "neověřeno"},
};
void PrintTo(const VerifyCase& c, std::ostream* os) { *os << c.what; }
class ParamVerified : public ParamDialog, public ::testing::WithParamInterface<VerifyCase> {};
INSTANTIATE_TEST_SUITE_P(Receiver, ParamVerified, ::testing::ValuesIn(kVerifyCases),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_P(ParamVerified, TheWriteIsReportedOnlyWhenTheReadBackHoldsIt) {
  const VerifyCase& c = GetParam();
  sim::Options options = Unpaced();
  options.faults = c.faults;
  sim::Receiver* rx = nullptr;
  // The receiver's own thread, as soon as it has the frame.
  options.onNote = [&](const std::string& note) {
    if (c.silentAfterFrame && note.rfind("parameter frame accepted", 0) == 0) rx->SetFault(sim::Fault::Silent);
  };
  StartLoggedIn(options);
  rx = &Rx();
  TParametry* d = Parametry;
  std::vector<std::string> sent;  // by the write
  bool recording = false;
  QObject::connect(&Channel(), &TChannel::Sent, d, [&](const std::string& bytes) {
    if (recording) sent.push_back(bytes);
  });
  QString report, state;
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
     // The read-out has had its reply: the next "e" is the read-back's.
     if (c.readBack) Rx().SetCustomReply('e', std::string(c.readBack));
     d->Dead->SetText("99");
     d->Adr2->setText("7");
     d->F84->SetText("1");
     recording = true;
     d->Button1->click();
   }).Then("the end of the write", [&] { return ActiveModal() == Chyba || (ReadOutDone() && d->Read->Color() == kRed); },
           [&] {
             if (ActiveModal() == Chyba) {
               report = Chyba->Panel->Caption();
               Chyba->Button1->click();
               return;
             }
             report = d->Read->Caption();
             state = (d->Button1->isEnabled() ? "enabled" : "disabled") + QString(d->status->isVisible() ? " progress" : "");
             d->Button2->click();
           });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }, 60000));
  EXPECT_EQ(report, c.report);
  // One record: the fields written against the read-out, the outcome, and
  // what a read-back that did not verify found, as the red text says it.
  std::string found;
  const QString why = QStringLiteral("Zápis parametrů se nepodařilo ověřit\n\n");
  if (c.report.startsWith(why))
    for (const QString& line : c.report.mid(why.size()).split('\n')) found += "  po zápisu: " + line.toStdString() + "\n";
  const std::string record = WriteLogText();
  EXPECT_EQ(record.substr(record.find("  výrobní")),
            std::string("  výrobní číslo 4660  ") + c.recorded +
                "\n  Mrtvý čas: 180 → 99\n  Adresa (2): 543002 → 7\n  Adresa (8), sloupec 4: 5 → 1\n" + found + "\n");
  // CR, "z", the frame byte by byte, then the read-back and nothing more.
  ASSERT_EQ(sent.size(), 2u + 128u + 1u);
  EXPECT_EQ(sent.back(), "e");
  EXPECT_FALSE(d->isVisible());
  if (!state.isEmpty()) {
    EXPECT_EQ(state, "disabled");
  }
}

// The receiver keeps its old dead time, and the read-back's "180" arrives
// as "18x": read loosely it is the 18 written. A damaged read-back verifies
// nothing.
TEST_F(ParamDialog, ADamagedReadBackWhoseLeadingDigitsMatchIsNotVerified) {
  sim::Options options = Unpaced();
  options.faults = {sim::Fault::KeepsOldSet};
  StartLoggedIn(options);
  const sim::ParamSet held = sim::Receiver::DefaultParams();
  ASSERT_EQ(held[2], 180);
  std::string reply = "PARAMETRY\r\n";
  for (int i = 0; i < 72; ++i)
    reply += (i ? "," : "") + (i == 2 ? std::string("18x") : QStringLiteral("%1").arg(held[i], 3, 10, QChar('0')).toStdString());
  TParametry* d = Parametry;
  QString report;
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
     Rx().SetCustomReply('e', reply + "\r\nCMD>");
     d->Dead->SetText("18");
     d->Button1->click();
   }).Then("the end of the write", [&] { return ActiveModal() == Chyba || (ReadOutDone() && d->Read->Color() == kRed); },
           [&] {
             report = ActiveModal() == Chyba ? Chyba->Panel->Caption() : d->Read->Caption();
             (ActiveModal() == Chyba ? Chyba->Button1 : d->Button2)->click();
           });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }, 60000));
  EXPECT_EQ(report, QStringLiteral("Zápis parametrů se nepodařilo ověřit\n\nOdpověď přijímače je poškozená"));
  EXPECT_EQ(Rx().Params()[2], 180);
  const std::string record = WriteLogText();
  EXPECT_EQ(record.substr(record.find("  výrobní")),
            "  výrobní číslo 4660  neověřeno\n  Mrtvý čas: 180 → 18\n  po zápisu: Odpověď přijímače je poškozená\n\n");
}

// A reply that is not the receiver's set as it should look still fills the
// fields, but says so, and a write after it asks first: No sends nothing.
TEST_F(ParamDialog, ADamagedReadOutIsFlaggedAndItsWriteAsksFirst) {
  StartLoggedIn();
  // The stored set's reply with one field garbled on the line.
  const sim::ParamSet set = sim::Receiver::DefaultParams();
  std::string reply = "PARAMETRY\r\n";
  for (int i = 0; i < 72; ++i)
    reply += (i ? "," : "") + (i == 5 ? std::string("1x5") : QStringLiteral("%1").arg(set[i], 3, 10, QChar('0')).toStdString());
  Rx().SetCustomReply('e', reply + "\r\nCMD>");
  TParametry* d = Parametry;
  QStringList seen;
  const auto answer = [&](QMessageBox::StandardButton b) {
    return [&, b] {
      auto* box = qobject_cast<QMessageBox*>(ActiveModal());
      seen << box->windowTitle() + ": " + box->text();
      Rx().ClearTraffic();
      box->button(b)->click();
    };
  };
  const auto question = [] { return qobject_cast<QMessageBox*>(ActiveModal()) != nullptr; };
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
     seen << (d->Notice->isVisible() ? d->Notice->Caption() : "-") << d->Ser2->text();
     Rx().SetFault(sim::Fault::NoCmdPrompt);  // a write that goes out stops after its CR
     d->Button1->click();
   })
      .Then("the question", question, answer(QMessageBox::No))
      .Then("no write", [&] { return ActiveModal() == d && d->Button1->isEnabled(); }, [&] {
        seen << QString::fromStdString(Rx().ReceivedText());
        d->Button1->click();
      })
      .Then("asked again", question, answer(QMessageBox::Yes))
      .Then("the write", [&] { return d->Read->Caption() == kWriteFailed; }, [&] {
        seen << QString::fromStdString(Rx().ReceivedText());
        d->Button2->click();
      });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  const QString asked = QStringLiteral("Dotaz: Hodnoty pocházejí z poškozené odpovědi přijímače. Přesto zapsat?");
  EXPECT_EQ(seen, (QStringList{QStringLiteral("Odpověď přijímače je poškozená – hodnoty nemusí odpovídat přijímači"), "1",
                               asked, "", asked, "\r"}));
}

TEST_F(ParamDialog, RefusedWritesSendNothingAndPutTheFocusOnTheField) {
  StartLoggedIn();
  sim::ParamSet stored = sim::Receiver::DefaultParams();
  stored[7] = 0, stored[8] = 0, stored[9] = 5;  // all networks; a 0 transmitter means all
  Rx().SetParams(stored);
  TParametry* d = Parametry;
  bool allShown = false;
  QStringList seen;  // message, field with the focus, whether the write is still possible
  const auto record = [&](const QString& text) {
    seen << text << FocusName() << (d->Button1->isEnabled() ? "enabled" : "disabled");
  };
  // Closes the message (Chyba or the error box), records it, then makes
  // the next edit and tries again.
  const auto next = [&](std::function<void()> edit) {
    return [&, edit] {
      const QString text = ActiveModal() == Chyba ? Chyba->Panel->Caption() : MessageBoxText();
      if (ActiveModal() == Chyba) Chyba->Button1->click();
      else PressMessageBoxOk();
      Later([&, text, edit] {
        record(text);
        edit();
      });
    };
  };
  const auto message = [] { return ActiveModal() && ActiveModal() != Parametry; };
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
       allShown = d->site->isChecked() && d->vsechny->isChecked() && !d->jeden->isChecked() &&
                  d->vsechny->isHidden() && !d->Net->isEnabled() && d->Net->Text() == "0" &&
                  d->Dau1->Text() == "0" && d->Dau2->Text() == "0" && !d->Dau2->isEnabled() && ParamImage[9] == 0;
       d->F12->SetText("x");
       d->Adr3->setText("2097152");
       d->Button1->click();
     })
      .Then("the conversion error", message, next([&] { d->F12->SetText("2"), d->Button1->click(); }))
      .Then("the address", [&] { return message() && seen.size() == 3; },
            next([&] { d->Adr3->setText("2097151"), d->Dead->SetText("0"), d->Button1->click(); }))
      .Then("the dead time", [&] { return message() && seen.size() == 6; }, next([&] { d->Button2->click(); }));
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  EXPECT_TRUE(allShown);
  EXPECT_EQ(seen, (QStringList{"'x' is not a valid integer value", "F12", "enabled", QStringLiteral("Neplatná adresa"),
                               "Adr3", "enabled", QStringLiteral("Mrtvý čas musí být v rozsahu 1-255"), "Dead",
                               "enabled"}));
  EXPECT_EQ(Rx().ReceivedText(), "e");
}

// A silent receiver on the read-out, then one that gives no prompt to the
// write: each time the red failure text, the write disabled, and only
// Storno (dropped while the read-out runs) to leave.
TEST_F(ParamDialog, FailedReadOutAndWriteSaySoAndStornoCloses) {
  StartLoggedIn();
  sim::ParamSet stored = sim::Receiver::DefaultParams();
  stored[8] = 3, stored[9] = 9;  // two transmitters entered freely
  Rx().SetParams(stored);
  Rx().SetFault(sim::Fault::Silent);
  TParametry* d = Parametry;
  QStringList seen;
  const auto failed = [&] {
    seen << d->Read->Caption() + (d->Read->Color() == kRed && d->Read->FontColor() == kWhite ? " red" : " ?")
         << (d->Read->isVisible() && !d->status->isVisible() && !d->Button1->isEnabled() ? "covered" : "?");
    d->Button2->click();
  };
  bool freeShown = false;
  Script s;
  s.Then("reading", [&] { return ActiveModal() == d && !d->Running(); }, [&] { d->Button2->click(); })
      .Then("the read error", ReadOutDone, failed);
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  Rx().ClearFaults();
  Script s2;
  s2.Then("the read-out", ReadOutDone, [&] {
      freeShown = !d->vsechny->isChecked() && !d->jeden->isChecked() && d->Dau1->isEnabled() &&
                  d->Dau2->isEnabled() && d->Dau2->Text() == "9";
      Rx().SetFault(sim::Fault::NoCmdPrompt);
      d->Button1->click();
    }).Then("the write error", [&] { return d->Read->Caption() == kWriteFailed && ActiveModal() == d; }, failed);
  ASSERT_TRUE(s2.Run([] { ZOV->Params->click(); }));
  EXPECT_EQ(seen, (QStringList{kReadFailed + " red", "covered", kWriteFailed + " red", "covered"}));
  EXPECT_TRUE(freeShown);
  const std::string record = WriteLogText();
  EXPECT_EQ(record.substr(record.find("  výrobní")), "  výrobní číslo 4660  zastaveno\n  beze změny\n\n");
  EXPECT_EQ(Rx().ReceivedText(), "ee\r");
}

TEST_F(ParamDialog, ReceiverVanishingMidFrameEndsTheWriteWithOneErrorReport) {
  StartLoggedIn();
  TParametry* d = Parametry;
  int lastByte = -1;
  QStringList after;
  ErrorBoxes boxes;
  Script s;
  s.Then("the read-out", ReadOutDone, [&] { d->Button1->click(); })
      .Then("twenty bytes of the frame", [&] { return Rx().ReceivedBytes().size() >= 3 + 20; },
            [&] {
              lastByte = d->status->value();
              Rx().Vanish();
            })
      // The write's handler has ended: it no longer waits between bytes.
      .Then("the failure", [&] {
              return d->Read->Caption() == kWriteFailed && !ZOV->Sleeper1->Sleeping() && ActiveModal() == d;
            },
            [&] {
              after << (d->status->isVisible() ? "progress" : "no progress")
                    << (d->Button1->isEnabled() ? "enabled" : "disabled")
                    << QString::number(d->status->value() - lastByte);
              d->Button2->click();
            });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }, 30000));
  // The wait in which the loss was reported ended the write (or the send
  // after it failed, when it met the loss first); nothing was tried after.
  EXPECT_EQ(after.mid(0, 2), (QStringList{"no progress", "disabled"}));
  EXPECT_TRUE(after.value(2) == "0" || after.value(2) == "1") << after.value(2).toStdString();
  // One report of the loss, whichever side of the port saw it first.
  EXPECT_EQ(boxes.texts.size(), 1) << boxes.texts.join(" | ").toStdString();

  // Opened again on the same opening of the lost line, the read-out fails
  // at once: nothing goes out, and the operator, told once, is not told
  // again.
  const int before = boxes.texts.size();
  std::vector<std::string> sent;
  const auto watch = QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& b) { sent.push_back(b); });
  QString readOut;
  Script s2;
  s2.Then("the read-out's end", ReadOutDone, [&] {
    readOut = d->Read->Caption() + (d->Read->Color() == kRed && !d->Button1->isEnabled() ? " red" : " ?");
    d->Button2->click();
  });
  ASSERT_TRUE(s2.Run([] { Parametry->ShowModal(); }));
  QObject::disconnect(watch);
  EXPECT_EQ(readOut, kReadFailed + " red");
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(boxes.texts.mid(before), QStringList());
}

// A record the write log cannot take: one error box says so, and the
// write's own outcome stays on the dialog.
TEST_F(ParamDialog, ARecordThatCannotBeWrittenIsOneErrorBoxAndTheWriteStands) {
  StartLoggedIn();
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(writelog::LogPath())));  // a folder in the file's place
  TParametry* d = Parametry;
  ErrorBoxes boxes;
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
     Rx().SetFault(sim::Fault::NoCmdPrompt);
     d->Button1->click();
   }).Then("the write stopped", [&] { return d->Read->Caption() == kWriteFailed && !boxes.texts.isEmpty(); },
           [&] { d->Button2->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("Záznam o zápisu nelze uložit do souboru ") +
                                     QString::fromStdString(writelog::LogPath()) + QStringLiteral(": je to složka, ne obyčejný soubor")});
}
