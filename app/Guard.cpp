#include "app/Guard.h"

#include <QApplication>
#include <QMessageBox>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "serial/ComPort.h"

namespace {
const char* const kErrorBoxTitle = "ZOV Q5r";
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
    case EIO:
      return QStringLiteral(
          "Port nebyl nalezen: zkontrolujte kabel a převodník USB, případně mapu portů "
          "(~/.config/zov-q5r/ports).");
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
  if (!qApp) {  // no box without an application: the message goes to stderr, never nowhere
    std::fprintf(stderr, "zov-q5r: %s\n", text.toLocal8Bit().constData());
    return;
  }
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kErrorBoxTitle), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void InstallApplicationErrorHandler() {
  SetApplicationErrorHandler([](std::exception_ptr e) { ShowErrorBox(e); });
}

int StrToInt(const std::string& text) { return StrToInt(QString::fromStdString(text)); }

int StrToInt(const QString& text) {
  auto fail = [&]() -> int {
    throw EConvertError(("'" + text + "' is not a valid integer value").toStdString());
  };
  int i = 0;
  const int n = int(text.size());
  while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
  bool negative = false;
  if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
    negative = text[i] == QLatin1Char('-');
    ++i;
  }
  int base = 10;
  if (i < n && text[i] == QLatin1Char('$')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && text[i] == QLatin1Char('0') && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
    base = 16;
    i += 2;
  } else if (i < n && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
    base = 16;
    ++i;
  }
  if (i >= n) return fail();
  long long value = 0;
  for (; i < n; ++i) {
    const int digit = QChar(text[i]).isDigit() && text[i].unicode() < 128
                          ? text[i].unicode() - '0'
                          : (base == 16 && QString(QStringLiteral("abcdefABCDEF")).contains(text[i]))
                                ? text[i].toLower().unicode() - 'a' + 10
                                : -1;
    if (digit < 0 || digit >= base) return fail();
    value = value * base + digit;
    if (value > 0x100000000LL) return fail();
  }
  if (base == 16) {
    // Hexadecimal texts give the 32-bit pattern ("$FFFFFFFF" is -1).
    if (value > 0xFFFFFFFFLL) return fail();
    const auto bits = static_cast<uint32_t>(value);
    return static_cast<int32_t>(negative ? 0u - bits : bits);
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return fail();
  return int(value);
}
