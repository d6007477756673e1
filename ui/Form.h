#pragma once
// The base of every window of the program. A window is created once at
// start-up and kept until exit; it is fixed in size, centred on the screen
// when shown, and its title bar carries no system menu and no buttons, so a
// dialog is left only through its own buttons.
//
// ShowModal runs in this order: the window becomes visible; FormActivate runs
// to its end; a close request made meanwhile is dropped; the window's own
// loop runs until a close request; FormClose runs and the window hides.
// Close() only records the request: it takes effect when control is back in
// this window's own loop, so a handler that closes its dialog keeps it on
// screen until the handler has finished.
//
// Enter presses a button only when that button has the focus: in a field it
// does nothing (Qt would press the dialog's default button, whichever one
// that has become).
//
// A dialog stays above the window that opened it: shown, it belongs to the
// window on top (WindowOnTop), so no window manager puts that one over it.
#include <QDialog>
#include <QString>

class QCloseEvent;
class QEventLoop;

class TForm : public QDialog {
 public:
  // clientWidth x clientHeight is the fixed client area.
  TForm(int clientWidth, int clientHeight, QWidget* parent = nullptr);
  ~TForm() override;

  int ShowModal();
  // The main window: shown modeless, runs until closed.
  void Run();
  void Close();
  bool CloseRequested() const { return closeRequested_; }
  bool Running() const { return loop_ != nullptr; }
  // 1 for the first window created in this process, 2 for the next...
  int CreationIndex() const { return creationIndex_; }

  QString Caption() const { return windowTitle(); }
  void SetCaption(const QString& caption) { setWindowTitle(caption); }
  void SetActiveControl(QWidget* control);

  virtual void FormActivate() {}
  virtual void FormClose() {}

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Escape does not close a dialog: only its buttons do.
  void reject() override {}

 private:
  void Execute(bool modal);
  void CentreOnScreen();

  bool closeRequested_ = false;
  QEventLoop* loop_ = nullptr;
  int creationIndex_;
};

// The window a dialog or message box shown now belongs above: the modal
// window on top, else the active window, else the main window (the window
// that runs the program's loop); null when there is none.
QWidget* WindowOnTop();
