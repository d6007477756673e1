#pragma once
// The application's standard error display. Every handler (button clicks,
// FormActivate, timers, the port's notifications) runs through Guarded: an
// error ends that handler and its text is shown in an error box; the message
// loop carries on. Qt never sees an exception escape an event handler.
#include <QString>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

void Guarded(const std::function<void()>& handler);

// Shows the error in the application's error box (modal, OK).
void ShowErrorBox(std::exception_ptr error);

// The text the error box shows: the error's own text; for a port error with
// an operating-system cause also the system's words for it and a hint.
QString ErrorBoxText(std::exception_ptr error);

// The hint for an errno behind a port error ("" when there is none).
QString PortErrorHint(int sysErrno);

// Makes the error box the serial component's sink for errors raised while it
// delivers notifications.
void InstallApplicationErrorHandler();

// A text that is not an integer.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The standard integer conversion: optional leading blanks, an optional
// sign, decimal digits, or hexadecimal ones after "$", "0x" or "x"; nothing
// may follow, and the value must fit in 32 bits. Otherwise EConvertError
// "'<text>' is not a valid integer value".
int StrToInt(const QString& text);
int StrToInt(const std::string& text);
