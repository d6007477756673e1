// The parameters dialog's widgets without a receiver: the spin edit, the
// tab order, the selection boxes, the defaults and the leave checks. No
// port is open: anything sent would raise an error box nobody closes, and
// the script's watchdog would fail the test.
#include <QMessageBox>
#include <QTest>

#include "DialogTest.h"
#include "app/Chyba.h"
#include "app/Forms.h"
#include "link/Login.h"
#include "params/Parametry.h"

TEST(SpinEdit, TypingSteppingAndLeaving) {
  QWidget window;
  auto* spin = new TSpinEdit(&window);
  auto* other = new QLineEdit(&window);
  spin->SetRange(1, 5);
  other->move(0, 30);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const QString dp = spin->locale().decimalPoint();
  const std::pair<QString, std::function<void()>> acts[] = {
      {"type", [&] { QTest::keyClicks(spin->Edit(), "1a2 -+x" + dp + "3"); }},
      {"Up", [&] { QTest::keyClick(spin->Edit(), Qt::Key_Up); }},
      {"Down", [&] { QTest::keyClick(spin->Edit(), Qt::Key_Down); }},
      {"up arrow", [&] { spin->UpButton()->click(); }},
      {"down arrow", [&] { spin->DownButton()->click(); }},
      {"Tab", [&] { QTest::keyClick(spin->Edit(), Qt::Key_Tab); }},
      {"program's focus", [&] { other->setFocus(Qt::OtherFocusReason); }},
  };
  const struct {
    QString before, act, after;
  } cases[] = {
      {"", "type", "12-+" + dp + "3"},  // digits, signs and the separator only
      {"4", "Up", "5"},        {"5", "Up", "5"},  // held to the range
      {"2", "Down", "1"},      {"3", "up arrow", "4"},
      {"3", "down arrow", "2"}, {"abc", "Up", "2"},  // not a number: from the minimum
      {"9", "Tab", "5"},       {"-7", "Tab", "1"},   // the operator leaves: nearest bound
      {"+3", "Tab", "+3"},     {"2" + dp + "5", "Tab", "2" + dp + "5"},  // stays as typed
      {"9", "program's focus", "9"},
  };
  for (const auto& c : cases) {
    spin->setFocus(Qt::OtherFocusReason);
    spin->SetText(c.before);
    for (const auto& [name, act] : acts)
      if (name == c.act) act();
    QCoreApplication::processEvents();  // a leave is handled once the focus has moved
    EXPECT_EQ(spin->Text(), c.after) << c.before.toStdString() << " " << c.act.toStdString();
  }
}

class ParamWidgets : public ::testing::Test {
 protected:
  void SetUp() override { CreateForms(); }
  void TearDown() override { DestroyForms(); }

  // The dialog shown without its read-out, active, every field a number.
  static void ShowDialog() {
    for (QLineEdit* e : Parametry->findChildren<QLineEdit*>()) e->setText("1");
    Parametry->show();
    Parametry->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Parametry));
  }
  static QString Name(QWidget* w) {
    return qobject_cast<TSpinEdit*>(w->parentWidget()) ? w->parentWidget()->objectName() : w->objectName();
  }
};

TEST_F(ParamWidgets, TabRunsRowByRowThenTheBoxesAndButtons) {
  ShowDialog();
  Parametry->Adr1->setFocus(Qt::OtherFocusReason);
  QStringList expected, seen;
  for (int n = 1; n <= 8; ++n) {
    expected << QStringLiteral("Adr%1").arg(n);
    for (int c = 1; c <= 4; ++c) expected << QStringLiteral("F%1%2").arg(n).arg(c);
  }
  expected << "P1" << "P2" << "P3" << "P4" << "P5" << "P0" << "Dead" << "Net" << "site" << "Dau1" << "Dau2"
           << "vsechny" << "jeden" << "Ser1" << "Ser2" << "Default" << "Button2" << "Button1" << "Ulozit" << "Nacist" << "Adr1";
  for (int i = 0; i < expected.size(); ++i) {
    seen << Name(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(seen, expected);
}

TEST_F(ParamWidgets, SelectionBoxesSetTheFieldsOnEveryRealChange) {
  TParametry* d = Parametry;
  // Net, Dau1, Dau2 as "text" or "text-" when disabled; the three boxes
  // as +/-, "(hidden)" when the transmitter boxes are.
  const auto look = [d] {
    QString s;
    for (TSpinEdit* f : {d->Net, d->Dau1, d->Dau2}) {
      EXPECT_EQ(f->Color(), f->isEnabled() ? WindowColor() : kSilver) << f->objectName().toStdString();
      s += f->Text() + (f->isEnabled() ? " " : "- ");
    }
    for (QCheckBox* b : {d->site, d->vsechny, d->jeden}) s += b->isChecked() ? "+" : "-";
    return s + (d->vsechny->isHidden() && d->jeden->isHidden() ? " (hidden)" : "");
  };
  const std::pair<std::function<void()>, QString> steps[] = {
      {[d] { d->site->click(); }, "0- 0- 0- ++- (hidden)"},
      {[d] { d->site->click(); }, "7 15 15 ---"},
      {[d] { d->jeden->click(); }, "7 15 15- --+"},
      {[d] { d->Dau1->SetText("12"); }, "7 12 12- --+"},  // Dau2 follows
      {[d] { d->vsechny->click(); }, "7 0- 0- -+-"},       // unchecks "one"
      {[d] { d->jeden->click(); }, "7 15 15- --+"},        // unchecks "all"
      {[d] { d->jeden->click(); }, "7 15 15 ---"},
      {[d] { d->Dau1->SetText("3"); }, "7 3 15 ---"},
      {[d] { d->site->setChecked(true); }, "0- 0- 0- ++- (hidden)"},  // the program's change acts as a click
      {[d] { d->Net->SetText("9"), d->site->setChecked(true); }, "9- 0- 0- ++- (hidden)"},  // no change: nothing
  };
  for (const auto& [act, after] : steps) {
    act();
    EXPECT_EQ(look(), after);
  }
}

TEST_F(ParamWidgets, DefaultsAfterYesOnly) {
  TParametry* d = Parametry;
  d->jeden->click();  // the defaults undo it through the boxes' handlers
  d->Adr2->setText("77");
  OperatorCode = 42;
  for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
    QString question;
    Script s;
    s.Then("the question", [] { return qobject_cast<QMessageBox*>(ActiveModal()); }, [&] {
      auto* box = qobject_cast<QMessageBox*>(ActiveModal());
      question = box->windowTitle() + ": " + box->text();
      box->button(answer)->click();
    });
    ASSERT_TRUE(s.Run([d] { d->Default->click(); }));
    EXPECT_EQ(question, QStringLiteral("Dotaz: Opravdu zavést předvolené hodnoty ?"));
    if (answer == QMessageBox::No) {
      EXPECT_TRUE(d->Adr2->text() == "77" && d->jeden->isChecked());
    }
  }
  EXPECT_EQ((QStringList{d->Op->Caption(), d->Zapis->Caption(), d->Adr1->text(), d->Adr8->text(), d->F11->Text(),
                         d->F74->Text(), d->F81->Text(), d->Dead->Text(), d->P0->Text(), d->P1->text(),
                         d->P5->text(), d->Ser1->text(), d->Ser2->text()}),
            (QStringList{"42", "001", "0543001", "0000000", "1", "4", "5", "180", "0", "0", "0", "0", "0"}));
  EXPECT_TRUE(d->site->isChecked() && d->vsechny->isChecked() && !d->jeden->isChecked());
  EXPECT_TRUE(d->vsechny->isHidden() && d->jeden->isHidden());
  for (TSpinEdit* f : {d->Net, d->Dau1, d->Dau2})
    EXPECT_TRUE(f->Text() == "0" && !f->isEnabled() && f->Color() == kSilver) << f->objectName().toStdString();
}

TEST_F(ParamWidgets, LeaveChecksRefuseOutOfRangeAndKeepTheFocusAndText) {
  ShowDialog();
  const TParametry* d = Parametry;
  const QString bad = QStringLiteral("Nepovolený vstup");
  const std::tuple<QLineEdit*, QString, QString> cases[] = {
      {d->P1, "127", ""},  {d->P1, "128", bad},  {d->P3, "-1", bad},    {d->P4, "255", ""},
      {d->P5, "256", bad}, {d->Ser1, "0", ""},   {d->Ser2, "300", bad},
      {d->P2, "", "'' is not a valid integer value"},
  };
  for (const auto& [field, text, refusal] : cases) {
    SCOPED_TRACE(field->objectName().toStdString() + " '" + text.toStdString() + "'");
    // The offscreen platform does not hand the activation back when a
    // message closes.
    Parametry->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Parametry));
    field->setFocus(Qt::OtherFocusReason);
    field->setText(text);
    QString shown;
    bool checked = false, done = false;
    Script s;
    s.Then("the check has run", [&] { return checked || ActiveModal(); }, [&] {
       if (ActiveModal() == Chyba) {
         shown = Chyba->Caption() == "Chyba" && Chyba->Panel->Color() == kRed ? Chyba->Panel->Caption() : "?";
         Chyba->Button1->click();
       } else if (ActiveModal()) {
         shown = MessageBoxText();
         PressMessageBoxOk();
       }
     }).Then("the message closed", [&] { return !ActiveModal() && checked; }, [&] { done = true; });
    ASSERT_TRUE(s.Run([&] {
      QTest::keyClick(field, Qt::Key_Tab);
      QTimer::singleShot(0, qApp, [&] { checked = true; });  // queued after the check
      WaitUntil([&] { return done; });
    }));
    EXPECT_EQ(shown, refusal);
    // The field the dialog's focus is in (or returns to with the activation).
    EXPECT_EQ(Parametry->focusWidget() == field, !refusal.isEmpty());
    EXPECT_EQ(field->text(), text);
  }
}

// The write checks what leaving the edited fields would have checked, in tab
// order, before anything goes out, however the button was reached: a click
// whose press and release come in one batch (before the queued leave
// check), or Tab past Storno, which checks nothing. No port is open here,
// so anything sent would show an error box.
TEST_F(ParamWidgets, TheWriteRunsTheLeaveChecksOfEditedFieldsFirst) {
  struct Case {
    const char* what;
    std::vector<std::pair<QLineEdit*, QString>> typed;  // in this order, each left by the program
    std::function<void()> write;
    QString message;
    QLineEdit* focus;
  };
  TParametry* d = Parametry;
  const auto click = [d] { QTest::mouseClick(d->Button1, Qt::LeftButton); };
  const auto pastStorno = [d] {
    // From Ser2, with "Default" hidden: Tab lands on Storno, the next on the write.
    d->Default->hide();
    d->Ser2->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d->Ser2, Qt::Key_Tab);
    QTest::keyClick(d->Button2, Qt::Key_Tab);
    QTest::keyClick(d->Button1, Qt::Key_Space);
  };
  const QString bad = QStringLiteral("Nepovolený vstup");
  const Case cases[] = {
      {"P1 300, the click at once", {{d->P1, "300"}}, click, bad, d->P1},
      {"Ser2 300, Tab past Storno", {{d->Ser2, "300"}}, pastStorno, bad, d->Ser2},
      {"the first in tab order", {{d->Ser1, "256"}, {d->P4, "999"}}, click, bad, d->P4},
      {"an edited field that is no number", {{d->P2, ""}}, click, "'' is not a valid integer value", d->P2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShowDialog();
    for (const auto& [field, text] : c.typed) {
      field->setFocus(Qt::OtherFocusReason);
      field->selectAll();
      QTest::keyClicks(field, text);  // typed: the field counts as edited
      if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Delete);
    }
    QString shown;
    Script s;
    s.Then("the refusal", [] { return ActiveModal() != nullptr; }, [&] {
      shown = ActiveModal() == Chyba ? Chyba->Panel->Caption() : MessageBoxText();
      if (ActiveModal() == Chyba) Chyba->Button1->click();
      else PressMessageBoxOk();
    });
    ASSERT_TRUE(s.Run(c.write));
    EXPECT_EQ(shown, c.message);
    EXPECT_EQ(d->focusWidget(), c.focus);
    EXPECT_TRUE(d->Button1->isEnabled());  // nothing went out: the write can be tried again
    d->hide();
    d->Default->show();
  }
}
