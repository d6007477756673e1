#include "ui/ErrorDisplay.h"

#include <QApplication>
#include <QMessageBox>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "portmap/PortMap.h"
#include "serial/ComPort.h"
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

QString PortErrorHint(int sysErrno) {
  switch (sysErrno) {
    case EACCES:
    case EPERM:
      return QStringLiteral(
          "K portu nemáte přístup: uživatel musí být ve skupině dialout "
          "(sudo usermod -aG dialout $USER) a pak se znovu přihlásit.");
    case EBUSY:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
      return QStringLiteral("Port používá jiný program. Ukončete ho a zkuste to znovu.");
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO: {
      // The port map in use, where the operator would look for it.
      const std::string map = serial::PortMapDir().string();
      return QStringLiteral("Port nebyl nalezen: zkontrolujte kabel a převodník USB, případně mapu portů (%1).")
          .arg(map.empty() ? QStringLiteral("tento účet nemá domovskou složku, a tak ani mapu portů")
                           : QString::fromStdString(map));
    }
    default:
      return QString();
  }
}

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
