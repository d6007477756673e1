// Enter presses a button only when the button has the focus: in a field of
// any dialog it presses nothing, whichever button Qt would have made the
// dialog's default.
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "ReceiverTest.h"
#include "app/Forms.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "connect/ComInit.h"
#include "params/Parametry.h"

namespace {

using EnterKey = ReceiverTest;

struct Case {
  const char* what;
  TForm* (*dialog)();
  QPushButton* (*opener)();
  QPushButton* (*way_out)();  // Enter on it, focused, closes the dialog
};

}  // namespace

TEST_F(EnterKey, InAFieldPressesNoButtonAndOnAFocusedButtonPressesThatOne) {
  const Case cases[] = {
      {"parameters", []() -> TForm* { return Parametry; }, [] { return ZOV->Params; }, [] { return Parametry->Button2; }},
      {"clock", []() -> TForm* { return SetTim; }, [] { return ZOV->Tim; }, [] { return SetTim->Button1; }},
      {"connection", []() -> TForm* { return ComInit; }, [] { return ZOV->ComIni; }, [] { return ComInit->Button1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartLoggedIn();
    ComInit->SetOperatorCodeEditable(true);  // its field too
    TForm* d = c.dialog();
    int clicks = 0;
    QStringList questions;
    for (QPushButton* b : d->findChildren<QPushButton*>())
      QObject::connect(b, &QPushButton::clicked, [&clicks] { ++clicks; });
    QTimer no;  // a question that comes anyway is answered no, and counted
    QObject::connect(&no, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) {
        questions << box->text();
        box->button(box->buttons().size() > 1 ? QMessageBox::No : QMessageBox::Ok)->click();
      }
    });
    no.start(5);
    int fields = 0;
    Script s;
    s.Then("the dialog", [&] { return ActiveModal() == d && d->Running(); },
           [&] {
             QList<QPushButton*> buttons = d->findChildren<QPushButton*>();
             for (QWidget* w : d->findChildren<QWidget*>()) {
               if (!w->isVisible() || !w->isEnabled() || w->focusPolicy() == Qt::NoFocus) continue;
               if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QCheckBox*>(w)) continue;
               // Each button in turn has had the focus before the field, so
               // any of them could have become the default.
               for (QPushButton* b : buttons) {
                 if (!b->isVisible() || !b->isEnabled()) continue;
                 b->setFocus();
                 w->setFocus();
                 QTest::keyClick(w, Qt::Key_Return);
                 QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
               }
               ++fields;
             }
             c.way_out()->setFocus();
             QTest::keyClick(c.way_out(), Qt::Key_Return);
           });
    ASSERT_TRUE(s.Run([&] { c.opener()->click(); }, 60000));
    EXPECT_GT(fields, 0);
    EXPECT_EQ(clicks, 1);  // the way out, and only that
    EXPECT_EQ(questions.size(), 0) << questions.value(0).toStdString();
    EXPECT_FALSE(d->isVisible());
    TearDown();
  }
}
