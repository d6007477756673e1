#include "ui/Form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <stdexcept>

#include "ui/ErrorDisplay.h"

namespace {
TForm* mainWindow = nullptr;  // the window Run() is running
}  // namespace

QWidget* WindowOnTop() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  return mainWindow;
}

TForm::TForm(int clientWidth, int clientHeight, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  static int created = 0;
  creationIndex_ = ++created;
  setFixedSize(clientWidth, clientHeight);
  setSizeGripEnabled(false);
}

TForm::~TForm() {
  if (mainWindow == this) mainWindow = nullptr;
  // Destroyed while its loop still runs (only at the end of the program):
  // let that loop return.
  if (loop_) loop_->exit();
}

int TForm::ShowModal() {
  Execute(true);
  return 0;
}

void TForm::Run() {
  mainWindow = this;
  Execute(false);
}

void TForm::Execute(bool modal) {
  if (loop_ || isVisible()) throw std::logic_error("Cannot make a visible window modal");
  setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  if (modal) {
    // Above the window that opens it, whatever the window manager does
    // with that one (an error box raising it, say): the modal dialog on top,
    // or the main window.
    QWidget* opener = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : mainWindow;
    winId();  // the native window, to belong to the opener's
    if (opener && opener != this && windowHandle() && opener->window()->windowHandle())
      windowHandle()->setTransientParent(opener->window()->windowHandle());
  }
  CentreOnScreen();
  show();
  CentreOnScreen();  // again, now that the frame is known
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
  activateWindow();
  // The window may be destroyed by a handler that runs inside it (only at
  // the end of the program); nothing of it is touched afterwards.
  const QPointer<TForm> self(this);
  Guarded([this] { FormActivate(); });
  if (!self) return;
  closeRequested_ = false;
  QEventLoop loop;
  loop_ = &loop;
  loop.exec(QEventLoop::DialogExec);
  if (!self) return;
  loop_ = nullptr;
  Guarded([this] { FormClose(); });
  if (!self) return;
  hide();
  closeRequested_ = false;
}

void TForm::Close() {
  closeRequested_ = true;
  if (loop_) loop_->exit();
}

void TForm::SetActiveControl(QWidget* control) {
  if (control) control->setFocus(Qt::OtherFocusReason);
}

void TForm::closeEvent(QCloseEvent* event) {
  // The window manager's close (Alt+F4, a title-bar menu) must not bypass
  // the dialog's own buttons.
  if (!closeRequested_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TForm::keyPressEvent(QKeyEvent* event) {
  // A focused button has taken its Enter already; anything else that lets
  // it through is no button.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TForm::CentreOnScreen() {
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect area = s->availableGeometry();
  // move() places the frame; its size is known once the window has been
  // shown, before that it is the client area.
  const QRect frame = frameGeometry();
  move(area.center() - QPoint((frame.width() - 1) / 2, (frame.height() - 1) / 2));
}
