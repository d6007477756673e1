// A write and its read-back run with every button of the dialog off, so a
// Storno pressed meanwhile cannot close the dialog as the write ends and hide
// its outcome; the read-back says so on the status panel; and the outcome
// is always shown: the success message, or the red text with Storno (and
// for the parameters "Uložit sadu…") back on.
#include <QApplication>
#include <QPushButton>

#include "ReceiverTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "link/Channel.h"
#include "params/Parametry.h"

namespace {

using WriteOutcome = ReceiverTest;

struct Case {
  const char* what;
  sim::Fault fault;
  QPushButton* (*opener)();
  TForm* (*dialog)();
  std::function<bool()> ready;
  std::function<void()> write;
  std::string duringWrite;           // the send in the middle of the write
  std::string readBack;              // the read-back's command
  std::function<QString()> status;   // the status panel's text
  QString outcome;                   // the message, or the start of the red text
  std::function<QString()> enabledAfter;  // the buttons on after a red outcome
  std::string logged;                // in the write log's record
};

// The buttons that can be pressed, or look as if they could (a disabled
// button drawn in colours other than the style's disabled ones).
QString Enabled(TForm* d) {
  const QColor greyed = QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
  QStringList on;
  for (QPushButton* b : d->findChildren<QPushButton*>())
    if (b->isVisible() && (b->isEnabled() || b->palette().color(QPalette::Disabled, QPalette::ButtonText) != greyed))
      on << b->text();
  on.sort();
  return on.join(',');
}

}  // namespace

TEST_F(WriteOutcome, EveryButtonIsOffWhileTheWriteRunsAndTheOutcomeIsShown) {
  const Case cases[] = {
      {"parameters, not held", sim::Fault::KeepsOldSet, [] { return ZOV->Params; }, []() -> TForm* { return Parametry; },
       [] { return Parametry->Running() && Parametry->Button1->isEnabled(); },
       [] {
         Parametry->Dead->SetText(QStringLiteral("99"));
         Parametry->Button1->click();
       },
       std::string(1, '\xFF'), "e", [] { return Parametry->Read->Caption(); },
       QStringLiteral("Zápis parametrů se nepodařilo ověřit"), [] { return Enabled(Parametry); },
       "neověřeno\n  Mrtvý čas: 180 → 99\n  po zápisu: Mrtvý čas: zapsáno 99, v přijímači 180\n\n"},
      {"clock, not held", sim::Fault::ClockOff, [] { return ZOV->Tim; }, []() -> TForm* { return SetTim; },
       [] { return SetTim->Running() && SetTim->Button2->isEnabled(); }, [] { SetTim->Button2->click(); }, "s", "t",
       [] { return SetTim->Read->Caption(); }, QStringLiteral("Zápis hodin se nepodařilo ověřit"),
       [] { return Enabled(SetTim); }, "\n  po zápisu: Přijímač ukazuje: "},
      {"clock from the PC, held", sim::Fault::Silent, [] { return ZOV->Tim; }, []() -> TForm* { return SetTim; },
       [] { return SetTim->Running() && SetTim->Button3->isEnabled(); }, [] { SetTim->Button3->click(); }, "s", "t",
       [] { return SetTim->Read->Caption(); }, QStringLiteral("Hodiny přijímače zapsány a ověřeny"), nullptr,
       "ověřeno\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartLoggedIn();
    const bool faulty = c.fault != sim::Fault::Silent;
    if (faulty) Rx().SetFault(c.fault);
    TForm* d = c.dialog();
    bool writing = false;
    QStringList during;  // what the dialog showed at the two sends
    QString status;
    const auto watch = QObject::connect(&Channel(), &TChannel::Sent, [&](const std::string& bytes) {
      if (!writing || during.size() >= 2) return;
      if ((during.isEmpty() && bytes == c.duringWrite) || (during.size() == 1 && bytes == c.readBack)) {
        during << Enabled(d);
        if (during.size() == 2) status = c.status();
        // Pressed anyway: nothing comes of it.
        for (QPushButton* b : d->findChildren<QPushButton*>()) b->click();
      }
    });
    QString shown, enabledAfter;
    Script s;
    s.Then("the dialog", [&] { return ActiveModal() == d && c.ready(); },
           [&] {
             writing = true;
             c.write();
           })
        .Then("the outcome",
              [&] { return ActiveModal() == Chyba || (c.status().startsWith(c.outcome) && ActiveModal() == d); },
              [&] {
                if (ActiveModal() == Chyba) {
                  shown = Chyba->Panel->Caption();
                  Chyba->Button1->click();
                  return;
                }
                shown = c.status().left(c.outcome.size());
                enabledAfter = c.enabledAfter();
                for (QPushButton* b : d->findChildren<QPushButton*>())
                  if (b->text() == QStringLiteral("Storno")) b->click();
              });
    ASSERT_TRUE(s.Run([&] { c.opener()->click(); }, 60000));
    QObject::disconnect(watch);
    EXPECT_EQ(during, (QStringList{"", ""}));
    EXPECT_EQ(status, QStringLiteral("Probíhá ověření zápisu"));
    EXPECT_EQ(shown, c.outcome);
    if (c.enabledAfter) {
      EXPECT_EQ(enabledAfter, d == Parametry ? QStringLiteral("Storno,Uložit sadu…") : QStringLiteral("Storno"));
    }
    EXPECT_FALSE(d->isVisible());
    EXPECT_NE(WriteLogText().find(c.logged), std::string::npos) << WriteLogText();
    // The next opening has its buttons back.
    Script again;
    again.Then("opened again", [&] { return ActiveModal() == d && c.ready(); }, [&] {
      for (QPushButton* b : d->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Storno")) b->click();
    });
    EXPECT_TRUE(again.Run([&] { c.opener()->click(); }));
    TearDown();
  }
}
