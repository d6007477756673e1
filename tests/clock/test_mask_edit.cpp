// The edit fields that check themselves on leaving, as widgets: a masked
// field that was edited and misses a required digit refuses to be left, Esc
// gives back the text from before the edit, and the exit handler runs only
// for a field that may be left.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "DialogTest.h"
#include "ui/MaskEdit.h"

namespace {

const QString kDateMask = QStringLiteral("00.00.9999");
const QString kTimeMask = QStringLiteral("09:99:99");
const QString kInvalidInput = QStringLiteral("Invalid input value.  Use escape key to abandon changes");

// A window with the masked field, a field after it and a cancel button; the
// field has the focus, entered by Tab.
class TWindow {
 public:
  TWindow(const QString& mask, const QString& text) {
    auto* layout = new QVBoxLayout(&window_);
    field = new TMaskEdit(mask, &window_);
    next = new TEdit(&window_);
    cancel = new QPushButton(QStringLiteral("Storno"), &window_);
    layout->addWidget(field);
    layout->addWidget(next);
    layout->addWidget(cancel);
    field->setText(text);
    field->SetCancelControl(cancel);
    field->OnExit = [this] { ++exits; };
    window_.show();
    window_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    field->setFocus(Qt::TabFocusReason);
  }

  // Presses key on the focused widget and waits until settled holds; an
  // error box that comes meanwhile is closed and its text returned.
  QString Press(Qt::Key key, const std::function<bool(const QString& box)>& settled) {
    QString text;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text();
        box->button(QMessageBox::Ok)->click();
        // As a window manager gives the window back its activation (the
        // offscreen platform does not).
        Later([this] { window_.activateWindow(); });
      }
    });
    poll.start();
    QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_TRUE(WaitUntil([&] { return settled(text); }));
    return text;
  }
  // Tab out of the field: the box's text when it refused ("" when it let
  // the focus go and the exit handler ran).
  QString TabOut() {
    const int before = exits;
    return Press(Qt::Key_Tab,
                 [&, before](const QString& box) { return (!box.isEmpty() && field->hasFocus()) || exits > before; });
  }

  TMaskEdit* field;
  TEdit* next;
  QPushButton* cancel;
  int exits = 0;

 private:
  QWidget window_;
};

}  // namespace

TEST(MaskEdit, AnEditedFieldMissingARequiredDigitRefusesToBeLeftAndEscGivesBackTheOldText) {
  struct Case {
    QString mask;
    const char* old;
    const char* keys;  // typed into the emptied field
    const char* shown;
    int caret;  // the first incomplete place
  };
  const Case cases[] = {
      {kDateMask, "07.12.2026", "1", "1 .  .    ", 6},
      {kDateMask, "07.12.2026", "0503203", "05.03.203 ", 9},
      {kTimeMask, "23:29:07", "", "  :  :  ", 1},
      {kTimeMask, "23:29:07", "0807", "08:07:  ", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    TWindow w(c.mask, QString::fromUtf8(c.old));
    w.field->selectAll();
    QTest::keyClick(w.field, Qt::Key_Delete);
    QTest::keyClicks(w.field, QString::fromUtf8(c.keys));
    ASSERT_EQ(w.field->EditText(), QString::fromUtf8(c.shown));

    EXPECT_EQ(w.TabOut(), kInvalidInput);
    EXPECT_TRUE(w.field->hasFocus());
    EXPECT_EQ(w.field->cursorPosition(), c.caret);
    EXPECT_EQ(w.exits, 0);
    // Refused again the same way.
    EXPECT_EQ(w.TabOut(), kInvalidInput);

    QTest::keyClick(w.field, Qt::Key_Escape);
    EXPECT_EQ(w.field->EditText(), QString::fromUtf8(c.old));
    EXPECT_EQ(w.TabOut(), QString());
    EXPECT_EQ(w.exits, 1);
    EXPECT_TRUE(w.next->hasFocus());
  }
}

TEST(MaskEdit, TakesDigitsOnlyAndIsLeftWhenCompleteUneditedOrForTheCancelButton) {
  {
    TWindow w(kDateMask, "07.12.2026");
    w.field->selectAll();
    QTest::keyClick(w.field, Qt::Key_Delete);
    QTest::keyClicks(w.field, QStringLiteral("x0y5z03a2031"));
    EXPECT_EQ(w.field->EditText(), QStringLiteral("05.03.2031"));
    EXPECT_EQ(w.TabOut(), QString());
    EXPECT_EQ(w.exits, 1);
  }
  {
    // Not edited: whatever it holds is for the exit handler to judge.
    TWindow w(kTimeMask, "");
    EXPECT_EQ(w.TabOut(), QString());
    EXPECT_EQ(w.exits, 1);
  }
  {
    // The cancel button abandons the edit: no refusal, no exit handler.
    TWindow w(kDateMask, "07.12.2026");
    QTest::keyClick(w.field, Qt::Key_Backspace);
    QTest::mouseClick(w.cancel, Qt::LeftButton);
    EXPECT_TRUE(w.cancel->hasFocus());
    bool drained = false;
    Later([&] { drained = true; });  // runs after anything the focus change queued
    EXPECT_TRUE(WaitUntil([&] { return drained; }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(w.exits, 0);
  }
}
