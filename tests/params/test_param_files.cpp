// The parameters dialog's set files end to end: saved from a read-out,
// opened into the dialog with the fields that differ marked, refused whole
// when anything in them is wrong, and written to another receiver.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "ReceiverTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/Login.h"
#include "params/ParamFile.h"
#include "params/Parametry.h"

using namespace params;

namespace {

bool ReadOutDone() { return ActiveModal() == Parametry && Parametry->Running() && Parametry->Button1->isEnabled(); }
bool MessageShown() { return ActiveModal() == Chyba; }

void WriteFile(const QString& name, const std::string& bytes) {
  std::ofstream(name.toStdString(), std::ios::binary) << bytes;
}
std::string ReadFile(const QString& name) {
  std::ifstream in(name.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The set file of a receiver's set.
std::string SetFile(const sim::ParamSet& set) {
  TParamImage image;
  std::copy(set.begin(), set.end(), image.begin());
  TValues values = ConvertForWrite(ImageTexts(image));
  return SetFileText(values, {set[4], set[5], set[6], set[3], "2026-05-03 14:22:05", "4.03"});
}

// Everything the dialog shows of a set: each field's text ("-" after it
// when disabled, "*" when bold, "#" when framed as differing), the panels,
// the boxes ("+" checked, "h" hidden) and the line of the set file.
QString Look() {
  TParametry* d = Parametry;
  QStringList s;
  ForEachField([&](const std::string& name) {
    QWidget* f = d->Field(name);
    auto* spin = qobject_cast<TSpinEdit*>(f);
    s << QString::fromStdString(name) + "=" + (spin ? spin->Text() : static_cast<QLineEdit*>(f)->text()) +
             (f->isEnabled() ? "" : "-") + (f->font().bold() ? "*" : "") +
             (d->findChild<QWidget*>("Mark" + f->objectName()) ? "#" : "");
  });
  s << "Op=" + d->Op->Caption() << "Zapis=" + d->Zapis->Caption();
  for (QCheckBox* b : {d->site, d->vsechny, d->jeden})
    s << b->objectName() + (b->isChecked() ? "+" : "") + (b->isHidden() ? "h" : "");
  s << (d->FileNotice->isVisible() ? d->FileNotice->Caption() : "-");
  return s.join(' ');
}

// The dialog's file questions answered by the test: the file to give, and
// what was asked.
struct Chooser {
  QString answer;
  std::vector<TFileQuestion> asked;
  Chooser() {
    Parametry->SetFileChooser([this](const TFileQuestion& q) {
      asked.push_back(q);
      return answer;
    });
  }
};

using SetFiles = ReceiverTest;

}  // namespace

// Anything wrong in a file is said with the file's name and the line, and
// the dialog stays as it was: fields, boxes, marks and the notice line.
TEST_F(SetFiles, ARefusedFileLeavesTheDialogAsItWas) {
  StartLoggedIn();
  QTemporaryDir dir;
  const std::string good = SetFile(sim::Receiver::DefaultParams());
  const auto lines = [](const std::string& text) { return std::to_string(std::count(text.begin(), text.end(), '\n')); };
  const auto line = [&](const std::string& text) { return lines(good.substr(0, good.find(text)) + "\n"); };
  const auto with = [&](const std::string& from, const std::string& to) {
    return std::string(good).replace(good.find(from), from.size(), to);
  };
  const std::string cut = good.substr(0, good.find("Dau2"));
  struct Case {
    std::string bytes, line, what;
  } cases[] = {
      {"", "1", "soubor je prázdný"},
      {"Parametry\n" + good, "1",
       "soubor není sada parametrů (první řádek má být „ZOV Q5r sada parametrů, verze 1“)"},
      {with("verze 1", "verze 2"), "1", "verzi „2“ program nezná (zná verzi 1)"},
      {with("\nP0 = ", "\nP0 "), line("P0 ="), "řádek není ve tvaru „název = hodnota“"},
      {with("\nNet =", "\nSer1 ="), line("Net ="), "neznámý název „Ser1“"},
      {with("\nP2 = 2", "\nP1 = 2"), line("P2 ="),
       "„P1“ je v souboru podruhé (poprvé na řádku " + line("P1 =") + ")"},
      {cut, lines(cut), "chybí „Dau2“ (konec souboru)"},
      {with("Adr3 = 600100", "Adr3 = 6001OO"), line("Adr3"), "„Adr3“: „6001OO“ není desítkové číslo"},
      {with("Adr3 = 600100", "Adr3 = 2097152"), line("Adr3"), "„Adr3“ = 2097152 je mimo rozsah 0 až 2097151"},
      {with("F11 = 1", "F11 = 0"), line("F11 ="), "„F11“ = 0 je mimo rozsah 1 až 5"},
      {with("Dead = 180", "Dead = 0"), line("Dead"), "„Dead“ = 0 je mimo rozsah 1 až 255"},
      {with("Net = 7", "Net = 16"), line("Net"), "„Net“ = 16 je mimo rozsah 0 až 15"},
      {with("Dau1 = 15", "Dau1 = -1"), line("Dau1"), "„Dau1“ = -1 je mimo rozsah 0 až 31"},
      {with("F23 = 3", std::string("F23 = 3\0", 8)), line("F23 ="), "soubor není text (obsahuje bajt 0)"},
      {with("# Mrtv", "# \xC3\x28"), line("# Mrtv"), "soubor není text v kódování UTF-8"},
      {good + std::string(70000, '#'), lines(good + "\n"), "soubor je větší než 64 KiB"},
  };
  Chooser chooser;
  chooser.answer = QDir(dir.path()).filePath(QStringLiteral("sada.q5r"));
  QString before;
  QStringList seen, expected, after;
  std::size_t next = 0, opened = 0;
  const auto open = [&] {
    ++opened;
    WriteFile(chooser.answer, cases[next].bytes);
    Parametry->Nacist->click();
  };
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
     // A file opened first: its values, marks and notice are to stay.
     WriteFile(chooser.answer, with("Dead = 180", "Dead = 99"));
     Parametry->Nacist->click();
     before = Look();
     open();
   });
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    expected << QString::fromStdString("Soubor sada.q5r, řádek " + cases[i].line + ":\n" + cases[i].what);
    // Counted: the message before may still be on screen as the step is looked at.
    s.Then("refusal " + std::to_string(i), [&, i] { return MessageShown() && opened == i + 1; }, [&] {
      seen << Chyba->Panel->Caption();
      Chyba->Button1->click();
      Later([&] {
        after << Look();
        if (++next < std::size(cases)) open();
        else Parametry->Button2->click();
      });
    });
  }
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }, 30000));
  EXPECT_TRUE(before.contains("Dead=99*#") && before.endsWith(QStringLiteral("1 hodnota se liší od přijímače")))
      << before.toStdString();
  for (int i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(seen.value(i), expected[i]);
    EXPECT_EQ(after.value(i), before) << expected[i].toStdString();
  }
  EXPECT_EQ(Rx().ReceivedText(), "e");
}

// Saved, then opened again: nothing differs. A set with other selection
// boxes and other values: the boxes as a read-out of it sets them, the
// differing fields marked, the receiver's serial number, operator code and
// write order kept, and nothing sent. The next read-out ends the marks.
TEST_F(SetFiles, AnOpenedSetShowsItsValuesWithTheDifferencesMarkedAndSendsNothing) {
  StartLoggedIn();
  sim::ParamSet stored = sim::Receiver::DefaultParams();
  stored[7] = stored[8] = stored[9] = 0;  // all networks and transmitters
  Rx().SetParams(stored);
  QTemporaryDir dir;
  const QString saved = QDir(dir.path()).filePath(QStringLiteral("a.q5r"));
  const QString other = QDir(dir.path()).filePath(QStringLiteral("b.q5r"));
  sim::ParamSet set = stored;
  set[2] = 255, set[3] = 9, set[4] = 1, set[6] = 7;  // dead time; write order, serial number, operator: not in a file
  set[7] = 3, set[8] = 4, set[9] = 9;                // one network, two transmitters
  set[19] = 0x1F, set[20] = 0xFF, set[21] = 0xFF;    // address 2: 2097151
  set[71] = 1;                                       // F84
  WriteFile(other, SetFile(set));
  Chooser chooser;
  QStringList messages, looks;
  TParametry* d = Parametry;
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
     looks << Look();
     d->Dead->SetText("0");  // refused as by a write: no file asked for
     d->Ulozit->click();
   })
      .Then("the refusal", MessageShown, [&] {
        messages << Chyba->Panel->Caption();
        Chyba->Button1->click();
        Later([&] {
          d->Dead->SetText("180");
          chooser.answer = saved;
          d->Ulozit->click();
          d->Nacist->click();
          looks << Look();
          chooser.answer = other;
          d->Nacist->click();
          looks << Look();
          d->Button2->click();
        });
      });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  Script s2;
  s2.Then("the next read-out", ReadOutDone, [&] {
    looks << Look();
    d->Button2->click();
  });
  ASSERT_TRUE(s2.Run([] { ZOV->Params->click(); }));

  EXPECT_EQ(messages, QStringList{QStringLiteral("Mrtvý čas musí být v rozsahu 1-255")});
  ASSERT_EQ(chooser.asked.size(), 3u);
  EXPECT_TRUE(chooser.asked[0].Save && chooser.asked[0].Suggested.endsWith(QStringLiteral("/prijimac-4660.q5r")));
  EXPECT_FALSE(chooser.asked[1].Save);
  EXPECT_EQ(chooser.asked[1].Suggested, dir.path());  // the folder last used
  EXPECT_EQ(chooser.asked[2].Filter, QStringLiteral("Sady parametrů (*.q5r)"));
  EXPECT_TRUE(ReadFile(saved).starts_with("ZOV Q5r sada parametrů, verze 1\n"));

  // The read-out, then the saved file: nothing differs.
  const QString readOut = looks.value(0);
  EXPECT_TRUE(readOut.contains("Net=0- Dau1=0- Dau2=0- Ser1=18 Ser2=52 Op=100 Zapis=1 site+ vsechny+h jedenh -"))
      << readOut.toStdString();
  EXPECT_EQ(looks.value(1), QString(readOut).replace(QRegularExpression(" -$"), "") +
                                QStringLiteral(" Ze souboru a.q5r: 0 hodnot se liší od přijímače"));
  // The other set: its boxes and values, six marked; the receiver's own
  // serial number, operator code and write order.
  QString expected = readOut;
  for (const auto& [from, to] : std::vector<std::pair<QString, QString>>{
           {"Adr2=543002", "Adr2=2097151*#"}, {"F84=5", "F84=1*#"}, {"Dead=180", "Dead=255*#"},
           {"Net=0-", "Net=3*#"}, {"Dau1=0-", "Dau1=4*#"}, {"Dau2=0-", "Dau2=9*#"},
           {"site+ vsechny+h jedenh -",
            QStringLiteral("site vsechny jeden Ze souboru b.q5r: 6 hodnot se liší od přijímače")}})
    expected.replace(from, to);
  EXPECT_EQ(looks.value(2), expected);
  EXPECT_EQ(looks.value(3), readOut);
  EXPECT_EQ(Rx().ReceivedText(), "ee");
}

// Receiver A's set kept in a file through Qt's own file dialogs, then
// written to receiver B: the frame carries A's values with B's serial
// number, B holds them, and the write log has the record.
TEST_F(SetFiles, AReceiversSetClonedToAnotherThroughAFile) {
  StartLoggedIn();
  sim::ParamSet a = sim::Receiver::DefaultParams();
  a[2] = 99, a[14] = 7, a[28] = 0x09, a[29] = 0x57, a[30] = 0xD9;  // dead time, P4, address 5: 612313
  Rx().SetParams(a);
  sim::Options options = Unpaced();
  options.resetOnStart = true;
  sim::Receiver b(options);
  b.Start();
  sim::ParamSet bSet = sim::Receiver::DefaultParams();
  bSet[4] = 3, bSet[5] = 232, bSet[7] = 0, bSet[8] = bSet[9] = 0;  // serial number 1000, all networks
  b.SetParams(bSet);
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath(QStringLiteral("prijimac-4660.q5r"));
  const auto fileDialog = [] { return qobject_cast<QFileDialog*>(ActiveModal()); };
  const auto openButton = [&] { return fileDialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open); };
  QStringList asked;
  Script s;
  s.Then("A read", ReadOutDone, [] { Parametry->Ulozit->click(); })
      .Then("the save dialog", fileDialog, [&] {
        QFileDialog* f = fileDialog();
        asked << f->directory().absolutePath() << f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
        f->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
      })
      .Then("saved", [] { return ActiveModal() == Parametry; }, [] { Parametry->Button2->click(); });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  ASSERT_EQ(LogInOn(b), "");

  QString notice, verified;
  Script s2;
  s2.Then("B read", ReadOutDone, [] { Parametry->Nacist->click(); })
      .Then("the open dialog", fileDialog, [&] {
        QFileDialog* f = fileDialog();
        asked << f->directory().absolutePath() << f->windowTitle();
        // Typed as the operator would, in the folder it starts in.
        f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(file).fileName());
      })
      // Open takes a file only once the dialog has listed it.
      .Then("the file listed", [&] { return fileDialog() && openButton()->isEnabled(); },
            [&] { openButton()->click(); })
      .Then("opened", [] { return ActiveModal() == Parametry; }, [&] {
        notice = Parametry->FileNotice->Caption();
        Parametry->Button1->click();
      })
      .Then("the verified write", MessageShown, [&] {
        verified = Chyba->Panel->Caption();
        Chyba->Button1->click();
      });
  ASSERT_TRUE(s2.Run([] { ZOV->Params->click(); }, 60000));

  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  EXPECT_EQ(asked, (QStringList{QFileInfo(documents).isDir() ? documents : QDir::homePath(), "prijimac-4660.q5r",
                                dir.path(), QStringLiteral("Načíst sadu parametrů")}));
  EXPECT_EQ(notice, QStringLiteral("Ze souboru prijimac-4660.q5r: 6 hodnot se liší od přijímače"));
  EXPECT_EQ(verified, QStringLiteral("Parametry zapsány a ověřeny"));
  sim::ParamSet frame = a;
  frame[3] = 0, frame[4] = 3, frame[5] = 232, frame[6] = OperatorCode;
  EXPECT_EQ(b.Params(), frame);
  EXPECT_EQ(b.ReceivedText().substr(0, 3), "e\rz");
  const QString log = QString::fromStdString(WriteLogText());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  parametry  ") +
                                 QString::fromStdString(b.PortName()) +
                                 QStringLiteral("  výrobní číslo 1000  ověřeno\n  Mrtvý čas: 180 → 99\n"
                                                "  Číslo sítě: 0 → 7\n  Číslo vysílače \\(1\\): 0 → 15\n"
                                                "  Číslo vysílače \\(2\\): 0 → 15\n  Param. 1: 0 → 7\n"
                                                "  Adresa \\(5\\): 0 → 612313\n\n$"))
                  .match(log)
                  .hasMatch())
      << log.toStdString();
}
