#include "ui/ErrorDisplay.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>

#include "serial/ComPort.h"
#include "serial/PortErrorHint.h"
#include "ui/Form.h"

namespace {
const char* const kErrorBoxTitle = "ZOV Q5r";
std::function<void(const QString&)> errorShownHook;
}  // namespace

void SetErrorShownHook(std::function<void(const QString& text)> hook) { errorShownHook = std::move(hook); }

void ErrorShown(const QString& text) {
  if (errorShownHook) errorShownHook(text);
}

void Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    ShowErrorBox(std::current_exception());
  }
}

QString PortErrorHint(int sysErrno) { return QString::fromStdString(serial::PortErrorHint(sysErrno)); }

QString ErrorBoxText(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
    return QString();
  } catch (const EComPort& e) {
    QString text = QString::fromUtf8(e.what());
    if (e.Errno() != 0) {
      text += QStringLiteral("\n\n") + QString::fromLocal8Bit(std::strerror(e.Errno()));
      const QString hint = PortErrorHint(e.Errno());
      if (!hint.isEmpty()) text += QStringLiteral("\n\n") + hint;
    }
    return text;
  } catch (const std::exception& e) {
    return QString::fromUtf8(e.what());
  } catch (...) {
    return QStringLiteral("Neznámá chyba");
  }
}

void ShowErrorBox(std::exception_ptr error) {
  if (IsAlreadyReported(error)) return;  // one pulled adapter, one message
  const QString text = ErrorBoxText(error);
  ErrorShown(text);
  if (!qApp) {  // no box without an application: the message goes to stderr, never nowhere
    std::fprintf(stderr, "zov-q5r: %s\n", text.toLocal8Bit().constData());
    return;
  }
  // Above the dialog that was running, not above a window under it.
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kErrorBoxTitle), text, QMessageBox::Ok, WindowOnTop());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void InstallApplicationErrorHandler() {
  SetApplicationErrorHandler([](std::exception_ptr e) { ShowErrorBox(e); });
}
