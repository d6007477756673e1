// The parameters dialog's set files end to end: saved from a read-out,
// opened into the dialog with the fields that differ marked, refused whole
// when anything in them is wrong, and written to another receiver.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fstream>
#include <sys/stat.h>

#include "ReceiverTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/Login.h"
#include "receiver/ParamFile.h"
#include "params/Parametry.h"

using namespace params;

namespace {

bool ReadOutDone() { return ActiveModal() == Parametry && Parametry->Running() && Parametry->Button1->isEnabled(); }
bool MessageShown() { return ActiveModal() == Chyba; }

void WriteFile(const QString& name, const std::string& bytes) {
  std::ofstream(name.toStdString(), std::ios::binary) << bytes;
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
  const QString file = QDir(dir.path()).filePath(QStringLiteral("sada.q5r"));
  int asked = 0;
  Parametry->SetFileChooser([&](const TFileQuestion&) { return ++asked, file; });
  QString before;
  QStringList seen, expected{QStringLiteral("Mrtvý čas musí být v rozsahu 1-255")}, after;
  std::size_t next = 0, opened = 0;
  const auto open = [&] {
    ++opened;
    WriteFile(file, cases[next].bytes);
    Parametry->Nacist->click();
  };
  Script s;
  s.Then("the read-out", ReadOutDone, [&] {
     Parametry->Dead->SetText("0");  // a save is refused as a write is
     Parametry->Ulozit->click();
   }).Then("the save refused", MessageShown, [&] {
    seen << Chyba->Panel->Caption();
    Chyba->Button1->click();
    Later([&] {
      // A file opened first: its values, marks and notice are to stay.
      WriteFile(file, with("Dead = 180", "Dead = 99"));
      Parametry->Nacist->click();
      before = Look();
      open();
    });
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
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(asked, 1 + static_cast<int>(std::size(cases)));  // no file asked for by the refused save
  for (int i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], before) << expected[i + 1].toStdString();
  EXPECT_EQ(Rx().ReceivedText(), "e");
}

// The marks and their count follow every edit after a set file was opened:
// a field set back to the receiver's value loses its mark, a newly changed
// one gets one. The file's long name is shortened in its middle to keep the
// line one line, and every field's tip gives its range (and, marked, the
// receiver's value).
TEST_F(SetFiles, TheMarksFollowEveryEditAndALongNameIsShortenedInItsMiddle) {
  StartLoggedIn();
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath(QStringLiteral("sada-pro-prijimac-na-konci-obce-u-hasicske-zbrojnice-druha-verze.q5r"));
  std::string text = SetFile(sim::Receiver::DefaultParams());
  text.replace(text.find("Dead = 180"), 10, "Dead = 99");
  text.replace(text.find("P4 = 0"), 6, "P4 = 7");
  WriteFile(file, text);
  Parametry->SetFileChooser([&](const TFileQuestion&) { return file; });
  struct Edit {
    QWidget* (*field)();
    const char* text;
    const char* marked;  // the fields marked afterwards
  };
  const auto field = [](const char* name) { return Parametry->Field(name); };
  const Edit edits[] = {
      {nullptr, nullptr, "P4 Dead"},  // as opened
      {[] { return Parametry->Field("Dead"); }, "180", "P4"},
      {[] { return Parametry->Field("Adr5"); }, "5", "Adr5 P4"},
      {[] { return Parametry->Field("P4"); }, "0", "Adr5"},
      {[] { return Parametry->Field("Adr5"); }, "0000000", ""},  // the receiver's 0
      {[] { return Parametry->Field("Dead"); }, "98", "Dead"},
  };
  QStringList marked, counts, tips;
  QString notice;
  bool oneLine = false;
  Script s;
  s.Then("the read-out", ReadOutDone, [] { Parametry->Nacist->click(); })
      .Then("opened", [] { return Parametry->FileNotice->isVisible(); }, [&] {
        notice = Parametry->FileNotice->Caption();
        oneLine = QFontMetrics(Parametry->FileNotice->font()).horizontalAdvance(notice) <= Parametry->FileNotice->width();
        tips << field("Adr1")->toolTip() << field("Net")->toolTip() << field("P1")->toolTip() << field("Dead")->toolTip();
        for (const Edit& e : edits) {
          if (e.field) {
            QWidget* f = e.field();
            if (auto* spin = qobject_cast<TSpinEdit*>(f)) spin->SetText(QString::fromLatin1(e.text));
            else static_cast<QLineEdit*>(f)->setText(QString::fromLatin1(e.text));
          }
          QStringList names;
          ForEachField([&](const std::string& name) {
            if (Parametry->findChild<QWidget*>(QString::fromStdString("Mark" + name))) names << QString::fromStdString(name);
          });
          marked << names.join(' ');
          counts << Parametry->FileNotice->Caption().section(QStringLiteral(": "), -1);
        }
        Parametry->Button2->click();
      });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  QStringList expected, expectedCounts;
  for (const Edit& e : edits) {
    expected << QString::fromLatin1(e.marked);
    const int n = expected.back().isEmpty() ? 0 : static_cast<int>(expected.back().count(' ')) + 1;
    expectedCounts << QStringLiteral("%1 %2 se liší od přijímače").arg(n).arg(n == 1 ? "hodnota" : n == 0 ? "hodnot" : "hodnoty");
  }
  EXPECT_EQ(marked, expected);
  EXPECT_EQ(counts, expectedCounts);
  EXPECT_TRUE(notice.startsWith(QStringLiteral("Ze souboru sada-pro")) && notice.contains(QStringLiteral("…")) &&
              notice.contains(QStringLiteral("verze.q5r: 2 hodnoty")))
      << notice.toStdString();
  EXPECT_TRUE(oneLine);
  EXPECT_EQ(tips, (QStringList{"0 až 2097151", "1 až 15", "0 až 127", "1 až 255\nV přijímači: 180"}));
}

// Receiver A's set (one network, one transmitter) kept in a file through
// Qt's own file dialogs, opened on receiver B (all networks, another serial
// number): the boxes as a read-out of the set sets them, the fields that
// differ marked, B's serial number, operator code and write order kept,
// nothing sent. Written: B holds A's values with its own serial number, and
// the write log has the record. B's next read-out ends the marks.
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
  bSet[3] = 9, bSet[4] = 3, bSet[5] = 232, bSet[7] = bSet[8] = bSet[9] = 0;  // serial number 1000, all networks
  b.SetParams(bSet);
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath(QStringLiteral("prijimac-4660.q5r"));
  const auto fileDialog = [] { return qobject_cast<QFileDialog*>(ActiveModal()); };
  const auto nameEdit = [&] { return fileDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); };
  const auto button = [&](QDialogButtonBox::StandardButton which) {
    return fileDialog()->findChild<QDialogButtonBox*>()->button(which);
  };
  QStringList asked, looks;
  Script s;
  s.Then("A read", ReadOutDone, [] { Parametry->Ulozit->click(); })
      .Then("the save dialog", fileDialog, [&] {
        asked << fileDialog()->directory().absolutePath() << nameEdit()->text();
        nameEdit()->setText(file);
        button(QDialogButtonBox::Save)->click();
      })
      .Then("saved", [] { return ActiveModal() == Parametry; }, [&] {
        asked << Parametry->FileNotice->Caption();
        Parametry->Button2->click();
      });
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }));
  ASSERT_EQ(LogInOn(b), "");

  std::string sentBeforeWrite;
  Script s2;
  s2.Then("B read", ReadOutDone, [&] {
      looks << Look();
      Parametry->Nacist->click();
    })
      .Then("the open dialog", fileDialog, [&] {
        asked << fileDialog()->directory().absolutePath() << fileDialog()->windowTitle();
        nameEdit()->setText(QFileInfo(file).fileName());  // typed, in the folder it starts in
      })
      // Open takes a file only once the dialog has listed it.
      .Then("the file listed", [&] { return fileDialog() && button(QDialogButtonBox::Open)->isEnabled(); },
            [&] { button(QDialogButtonBox::Open)->click(); })
      .Then("opened", [] { return ActiveModal() == Parametry; }, [&] {
        looks << Look();
        sentBeforeWrite = b.ReceivedText();
        Parametry->Button1->click();
      })
      .Then("the verified write", MessageShown, [&] {
        looks << Chyba->Panel->Caption();
        Chyba->Button1->click();
      });
  ASSERT_TRUE(s2.Run([] { ZOV->Params->click(); }, 60000));
  Script s3;
  s3.Then("B read again", ReadOutDone, [&] {
    looks << Look();
    Parametry->Button2->click();
  });
  ASSERT_TRUE(s3.Run([] { ZOV->Params->click(); }));

  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  EXPECT_EQ(asked, (QStringList{QFileInfo(documents).isDir() ? documents : QDir::homePath(), "prijimac-4660.q5r",
                                QStringLiteral("Uloženo do prijimac-4660.q5r"), dir.path(),
                                QStringLiteral("Načíst sadu parametrů")}));
  ASSERT_EQ(looks.size(), 4);
  EXPECT_TRUE(looks[0].contains("Ser1=3 Ser2=232 Op=100 Zapis=9 site+ vsechny+h jedenh -")) << looks[0].toStdString();
  QString opened = looks[0];
  for (const auto& [from, to] : std::vector<std::pair<QString, QString>>{
           {"Adr5=0", "Adr5=612313*#"}, {"P4=0", "P4=7*#"}, {"Dead=180", "Dead=99*#"}, {"Net=0-", "Net=7*#"},
           {"Dau1=0-", "Dau1=15*#"}, {"Dau2=0-", "Dau2=15-*#"},  // one transmitter: Dau2 follows
           {"site+ vsechny+h jedenh -",
            QStringLiteral("site vsechny jeden+ Ze souboru prijimac-4660.q5r: 6 hodnot se liší od přijímače")}})
    opened.replace(from, to);
  EXPECT_EQ(looks[1].toStdString(), opened.toStdString());
  EXPECT_EQ(sentBeforeWrite, "e");
  EXPECT_EQ(looks[2], QStringLiteral("Parametry zapsány a ověřeny"));
  // The write order a write sends is 0.
  const QString readAgain =
      QString(opened).remove('*').remove('#').replace("Zapis=9", "Zapis=0").replace(QRegularExpression(" Ze .*"), " -");
  EXPECT_EQ(looks[3].toStdString(), readAgain.toStdString());

  sim::ParamSet frame = a;
  frame[3] = 0, frame[4] = 3, frame[5] = 232, frame[6] = OperatorCode;
  EXPECT_EQ(b.Params(), frame);
  const QString log = QString::fromStdString(WriteLogText());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}  parametry  ") +
                                 QString::fromStdString(b.PortName()) +
                                 QStringLiteral("  výrobní číslo 1000  ověřeno\n  Mrtvý čas: 180 → 99\n"
                                                "  Číslo sítě: 0 → 7\n  Číslo vysílače \\(1\\): 0 → 15\n"
                                                "  Číslo vysílače \\(2\\): 0 → 15\n  Param. 1: 0 → 7\n"
                                                "  Adresa \\(5\\): 0 → 612313\n\n$"))
                  .match(log)
                  .hasMatch())
      << log.toStdString();
}

// A set file that is not a regular file is an error box and nothing else:
// "Načíst sadu…" on a FIFO is refused at once (opening it to read would wait
// for a writer, and hold up the windows and the serial hand-over with them),
// and "Uložit sadu…" leaves it a FIFO.
TEST_F(SetFiles, AFifoIsRefusedAtOnceAndLeftAsItWas) {
  StartLoggedIn();
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("sada.q5r"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString notRegular = QStringLiteral(": je to pojmenovaná roura (FIFO), ne obyčejný soubor");
  Parametry->SetFileChooser([&](const TFileQuestion&) { return fifo; });
  QStringList seen;
  bool saved = false;
  const auto error = [&](bool afterSave) {
    return [&, afterSave] { return !MessageBoxText().isEmpty() && saved == afterSave; };
  };
  const auto note = [&](std::function<void()> next) {
    return [&, next] {
      seen << MessageBoxText();
      PressMessageBoxOk();
      Later(next);
    };
  };
  Script s;
  s.Then("the read-out", ReadOutDone, [] { Parametry->Nacist->click(); })
      .Then("the open refused", error(false), note([&] {
              saved = true;
              Parametry->Ulozit->click();
            }))
      .Then("the save refused", error(true), note([] { Parametry->Button2->click(); }));
  ASSERT_TRUE(s.Run([] { ZOV->Params->click(); }, 30000));
  EXPECT_EQ(seen, (QStringList{"Soubor " + fifo + " nelze otevřít" + notRegular,
                               "Sadu parametrů nelze uložit do souboru " + fifo + notRegular}));
  struct stat st {};
  EXPECT_TRUE(::stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            QStringList{"sada.q5r"});  // no temporary file left
}
