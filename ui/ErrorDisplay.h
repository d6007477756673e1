#pragma once
// The application's standard error display. Every handler (button clicks,
// FormActivate, timers, the port's notifications) runs through Guarded: an
// error ends that handler and its text is shown in an error box; the message
// loop carries on. Qt never sees an exception escape an event handler.
#include <QString>
#include <exception>
#include <functional>

void Guarded(const std::function<void()>& handler);

// Shows the error in the application's error box (modal, OK).
void ShowErrorBox(std::exception_ptr error);

// The text the error box shows: the error's own text; for a port error with
// an operating-system cause also the system's words for it and a hint.
QString ErrorBoxText(std::exception_ptr error);

// The hint for an errno behind a port error ("" when there is none).
QString PortErrorHint(int sysErrno);

// Who hears of every error the program shows: the error box's text, and the
// message dialog's when it shows an error. One at a time (the program's line
// trace); an empty function removes it. The hook must not throw.
void SetErrorShownHook(std::function<void(const QString& text)> hook);
// The two displays call this as they show an error.
void ErrorShown(const QString& text);

// Makes the error box the serial component's sink for errors raised while it
// delivers notifications.
void InstallApplicationErrorHandler();
