#pragma once
// Edit fields that check their text when the operator leaves them.
//
// TEdit: a single-line edit with an exit handler. OnExit runs when the focus
// has left the field for another control of its window by Tab, Backtab or a
// click; not when another window comes up (a message box), nor when the
// program moves the focus itself. It runs once the focus change is complete,
// through Guarded, so it may show a modal message and put the focus back
// with SetFocusBack. Leaving toward the cancel control (SetCancelControl)
// checks nothing: that control abandons the edit.
//
// TMaskEdit: a TEdit with a fixed input mask (Qt's mask characters, blanks
// shown as spaces). Only what the mask allows can be typed. A field that was
// edited and still misses a required character refuses to be left: it beeps,
// takes the focus back with the caret on the first incomplete place and
// raises EInvalidInput ("Invalid input value.  Use escape key to abandon
// changes"), which the application's error box shows. Esc gives back the
// text from before the edit. OnExit runs only for a field that passed.
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <functional>
#include <stdexcept>

class QFocusEvent;
class QKeyEvent;

// An edit mask not filled in where it must be.
class EInvalidInput : public std::runtime_error {
 public:
  EInvalidInput();
};

class TEdit : public QLineEdit {
 public:
  explicit TEdit(QWidget* parent = nullptr);

  // The exit handler (the field's own check).
  std::function<void()> OnExit;
  void SetCancelControl(QWidget* control) { cancelControl_ = control; }

  // The test of the edit itself before the exit handler runs; throws when
  // the field must not be left. Nothing for a plain edit.
  virtual void ValidateEdit() {}
  // Puts the focus back into the field after a refused exit.
  void SetFocusBack();
  // Forgets a leave still waiting to be handled, for a caller that runs the
  // field's check itself (the write checks every edited field before it
  // sends): the check then comes once, not again behind the caller's.
  void DropPendingLeave() { leavePending_ = false; }

 protected:
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  // Entered anew by the operator (not by a focus put back).
  virtual void Entered() {}

  bool reEnter_ = false;

 private:
  void Leave();

  QPointer<QWidget> cancelControl_;
  bool leavePending_ = false;
};

class TMaskEdit : public TEdit {
 public:
  // mask: Qt input mask characters without the blank part, e.g. "00.00.9999"
  // (9 a digit that must be there, 0 one that may be left blank).
  explicit TMaskEdit(const QString& mask, QWidget* parent = nullptr);

  // The text as shown, blanks as spaces, separators in place.
  QString EditText() const { return displayText(); }
  void ValidateEdit() override;
  // 0-based place of the first required character that is missing, -1 when
  // none is.
  int FirstIncompletePlace() const;

 protected:
  void Entered() override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  QString required_;  // per place of the text: 'r' required, 'o' optional, 's' separator
  QString oldValue_;  // the text when the operator entered the field
};
