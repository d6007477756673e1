// Service mode (zov-q5r --servis): the four controls the connection dialog
// keeps from the operator are the technician's, the operator code typed
// goes out at the login, and clearing the monitor asks first.
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <functional>

#include "DialogTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "connect/ComInit.h"
#include "link/Channel.h"
#include "monitor/Mon.h"
#include "params/Parametry.h"
#include "serial/ComPort.h"
#include "sim/Receiver.h"
#include "writelog/WriteLog.h"

namespace {

// The windows for one test, gone again however it ends.
struct Forms {
  explicit Forms(bool servis) {
    TStartOptions options;
    options.servis = servis;
    CreateForms(options);
  }
  ~Forms() { DestroyForms(); }
};

TEST(ServiceMode, TheFourControlsAreAvailableWithServisAndNotWithout) {
  const std::pair<const char*, std::function<bool()>> controls[] = {
      {"Usr", [] { return ComInit->Usr->isEnabled(); }},
      {"Default", [] { return !Parametry->Default->isHidden(); }},
      {"Ser1, Ser2", [] { return Parametry->Ser1->isEnabled() && Parametry->Ser2->isEnabled(); }},
      {"Nul", [] { return !Mon->Nul->isHidden(); }},
  };
  for (const bool servis : {false, true}) {
    Forms forms(servis);
    Script s;
    s.Then("the connection dialog", [] { return ActiveModal() == ComInit; }, [] { ComInit->Button1->click(); });
    ASSERT_TRUE(s.Run([] { ZOV->ComIni->click(); }));
    for (const auto& [name, available] : controls) EXPECT_EQ(available(), servis) << name;
    EXPECT_EQ(ZOV->Caption(), servis ? QStringLiteral("ZOV Q5r (v.4.03) – servis") : QStringLiteral("ZOV Q5r (v.4.03)"));
  }
}

// Enter at the question answers no; the monitor saved first, its clear is
// recorded with the file it went to.
TEST(ServiceMode, TheTypedOperatorCodeGoesOutAndClearingTheMonitorAsksFirstAndIsRecorded) {
  sim::Options o;
  o.pacing = false;
  o.resetOnStart = true;
  sim::Receiver rx(o);
  rx.Start();
  std::remove(writelog::LogPath().c_str());
  QTemporaryDir dir;
  const QString saved = QDir(dir.path()).filePath(QStringLiteral("monitor.txt"));
  std::string sent, sentAfterNo = "?";  // once the monitor is read, on the program's side
  Forms forms(true);
  ZOV->ComPort1->SetPort(rx.PortName());
  QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& bytes) { sent += bytes; });
  auto question = [] { return qobject_cast<QMessageBox*>(ActiveModal()); };
  auto fileDialog = [] { return qobject_cast<QFileDialog*>(ActiveModal()); };
  QStringList asked;
  QString savedLine;
  Script s;
  s.Then("the connection dialog", [] { return ActiveModal() == ComInit; },
         [] {
           ComInit->Usr->setText(QStringLiteral("42"));
           ComInit->Button2->click();
         })
      .Then("the login's report", [] { return ActiveModal() == Chyba; }, [] { Chyba->Button1->click(); })
      .Then("the monitor read", [] { return ActiveModal() == Mon && Mon->Nul->isEnabled(); },
            [&] {
              sent.clear();
              Mon->Nul->click();
            })
      .Then("the question", question,
            [&] {
              asked << question()->windowTitle() << question()->text();
              QTest::keyClick(question(), Qt::Key_Return);
            })
      .Then("back in the monitor", [] { return ActiveModal() == Mon; },
            [&] {
              sentAfterNo = sent;
              Mon->Button2->click();
            })
      .Then("the save dialog", fileDialog,
            [&] {
              fileDialog()->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(saved);
              fileDialog()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
            })
      .Then("saved", [] { return ActiveModal() == Mon && !Mon->Ulozeno->Caption().isEmpty(); },
            [&] {
              savedLine = Mon->Ulozeno->Caption();
              Mon->Nul->click();
            })
      .Then("the question again", question, [&] { question()->button(QMessageBox::Yes)->click(); });
  ASSERT_TRUE(s.Run([] {
    ZOV->ComIni->click();
    ZOV->Monitor->click();
  }, 60000));

  // 42 is the byte 0x2A, right after the password.
  EXPECT_NE(rx.ReceivedText().find("TREMO\x2A"), std::string::npos) << rx.ReceivedText();
  EXPECT_EQ(rx.OperatorCode(), 42);
  EXPECT_EQ(asked, (QStringList{QStringLiteral("Dotaz"), QStringLiteral("Opravdu vymazat monitor přijímače? "
                                                                        "Záznam, který není uložen, bude ztracen.")}));
  EXPECT_EQ(sentAfterNo, "");
  EXPECT_EQ(sent, "n");
  EXPECT_FALSE(Mon->isVisible());
  EXPECT_EQ(savedLine, QStringLiteral("Uloženo do ") + saved);
  std::ifstream log(writelog::LogPath(), std::ios::binary);
  const std::string record(std::istreambuf_iterator<char>(log), {});
  EXPECT_NE(record.find("  nulování monitoru  " + rx.PortName() + "  výrobní číslo neznámé  odesláno\n"
                        "  čtení před nulováním uloženo do " + saved.toStdString() + "\n\n"),
            std::string::npos)
      << record;
}

}  // namespace
