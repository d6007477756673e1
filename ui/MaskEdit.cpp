#include "ui/MaskEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include "ui/ErrorDisplay.h"

EInvalidInput::EInvalidInput()
    : std::runtime_error("Invalid input value.  Use escape key to abandon changes") {}

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {}

void TEdit::SetFocusBack() {
  // The text from before the edit stays the one Esc gives back.
  if (!hasFocus()) reEnter_ = true;
  setFocus(Qt::OtherFocusReason);
}

void TEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (reEnter_) {
    reEnter_ = false;
    return;
  }
  // The window coming back (a message box closed) is no new entry while an
  // edit is under way.
  if (e->reason() == Qt::PopupFocusReason) return;
  if (e->reason() == Qt::ActiveWindowFocusReason && isModified()) return;
  Entered();
}

void TEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  switch (e->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::MouseFocusReason:
    case Qt::ShortcutFocusReason:
      break;
    default:
      return;  // another window, a popup, or the program moving the focus
  }
  // The focus has already moved on.
  QWidget* next = QApplication::focusWidget();
  if (next && next == cancelControl_) return;
  if (leavePending_) return;
  leavePending_ = true;
  // Checked once the focus change is over: a check may show a modal message
  // and move the focus back, which must not happen in the middle of it.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!leavePending_) return;  // dropped meanwhile
        leavePending_ = false;
        Leave();
      },
      Qt::QueuedConnection);
}

void TEdit::Leave() {
  // The focus is back already (a check that ran first put it here), or the
  // window has gone meanwhile.
  if (hasFocus() || !isVisible() || !isEnabled()) return;
  Guarded([this] {
    ValidateEdit();
    if (OnExit) OnExit();
  });
}

TMaskEdit::TMaskEdit(const QString& mask, QWidget* parent) : TEdit(parent) {
  setInputMask(mask + QStringLiteral("; "));
  for (qsizetype i = 0; i < mask.size(); ++i) {
    const QChar c = mask[i];
    if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
      required_ += QLatin1Char('s');
      ++i;
    } else if (QStringLiteral("ANX9DHB").contains(c)) {
      required_ += QLatin1Char('r');
    } else if (QStringLiteral("anx0dhb#").contains(c)) {
      required_ += QLatin1Char('o');
    } else if (!QStringLiteral("<>!").contains(c)) {
      required_ += QLatin1Char('s');
    }
  }
}

int TMaskEdit::FirstIncompletePlace() const {
  const QString text = displayText();
  for (qsizetype i = 0; i < required_.size(); ++i)
    if (required_[i] == QLatin1Char('r') && (i >= text.size() || text[i] == QLatin1Char(' ')))
      return static_cast<int>(i);
  return -1;
}

void TMaskEdit::ValidateEdit() {
  if (!isModified() || hasAcceptableInput()) return;
  QApplication::beep();
  SetFocusBack();
  const int place = FirstIncompletePlace();
  if (place >= 0) setCursorPosition(place);
  throw EInvalidInput();
}

void TMaskEdit::Entered() { oldValue_ = displayText(); }

void TMaskEdit::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    if (isModified()) setText(oldValue_);  // and the field counts as unedited again
    e->accept();
    return;
  }
  TEdit::keyPressEvent(e);
}
