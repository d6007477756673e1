// The masked edit as a widget: edited and missing a required digit, it
// refuses to be left; Esc gives back the text from before the edit; the
// exit handler runs only for a field that may be left.
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "DialogTest.h"
#include "ui/MaskEdit.h"

namespace {

// The field, a field after it and a cancel button; the field entered by Tab.
struct TWindow {
  TWindow(const char* mask, const char* text) : field(new TMaskEdit(QString::fromUtf8(mask), &window)) {
    auto* layout = new QVBoxLayout(&window);
    for (QWidget* w : {static_cast<QWidget*>(field), static_cast<QWidget*>(next), static_cast<QWidget*>(cancel)})
      layout->addWidget(w);
    field->setText(QString::fromUtf8(text));
    field->SetCancelControl(cancel);
    field->OnExit = [this] { ++exits; };
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus(Qt::TabFocusReason);
  }
  // Tab out: the error box's text when the field refused ("" when it let
  // the focus go and the exit handler ran).
  QString TabOut() {
    QString box;
    const int before = exits;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (auto* b = qobject_cast<QMessageBox*>(ActiveModal())) {
        box = b->text();
        b->button(QMessageBox::Ok)->click();
        Later([this] { window.activateWindow(); });  // as a window manager would
      }
    });
    closer.start(5);
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_TRUE(WaitUntil([&] { return (!box.isEmpty() && field->hasFocus()) || exits > before; }));
    return box;
  }

  QWidget window;
  TMaskEdit* field;
  TEdit* next = new TEdit(&window);
  QPushButton* cancel = new QPushButton(&window);
  int exits = 0;
};

}  // namespace

TEST(MaskEdit, EditedAndMissingARequiredDigitItRefusesToBeLeftUntilEscGivesBackTheOldText) {
  struct Case {
    const char *mask, *old, *keys, *shown;
    int caret;  // the first incomplete place
  };
  const Case cases[] = {
      {"00.00.9999", "07.12.2026", "1", "1 .  .    ", 6},
      {"00.00.9999", "07.12.2026", "0503203", "05.03.203 ", 9},
      {"09:99:99", "23:29:07", "", "  :  :  ", 1},
      {"09:99:99", "23:29:07", "0807", "08:07:  ", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    TWindow w(c.mask, c.old);
    w.field->selectAll();
    QTest::keyClick(w.field, Qt::Key_Delete);
    QTest::keyClicks(w.field, QString::fromUtf8(c.keys));
    ASSERT_EQ(w.field->EditText(), QString::fromUtf8(c.shown));
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(w.TabOut(), QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
      EXPECT_EQ(w.field->cursorPosition(), c.caret);
    }
    EXPECT_EQ(w.exits, 0);
    QTest::keyClick(w.field, Qt::Key_Escape);
    EXPECT_EQ(w.field->EditText(), QString::fromUtf8(c.old));
    EXPECT_EQ(w.TabOut(), QString());
    EXPECT_TRUE(w.next->hasFocus());
  }
}

TEST(MaskEdit, TakesDigitsOnlyAndIsLeftWhenCompleteUneditedOrForTheCancelButton) {
  TWindow typed("00.00.9999", "");
  typed.field->home(false);
  QTest::keyClicks(typed.field, QStringLiteral("x0y5z03a2031"));
  EXPECT_EQ(typed.field->EditText(), QStringLiteral("05.03.2031"));
  EXPECT_EQ(typed.TabOut(), QString());

  TWindow unedited("09:99:99", "");  // its content is for the exit handler to judge
  EXPECT_EQ(unedited.TabOut(), QString());

  TWindow abandoned("00.00.9999", "07.12.2026");
  QTest::keyClick(abandoned.field, Qt::Key_Backspace);
  QTest::mouseClick(abandoned.cancel, Qt::LeftButton);
  bool drained = false;
  Later([&] { drained = true; });  // after anything the focus change queued
  EXPECT_TRUE(WaitUntil([&] { return drained; }));
  EXPECT_TRUE(abandoned.cancel->hasFocus());
  EXPECT_EQ(ActiveModal(), nullptr);
  EXPECT_EQ(abandoned.exits, 0);
}
