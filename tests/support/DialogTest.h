#pragma once
// Driving the real windows in tests. Every test program with windows runs
// with qt_main.cpp: one application object, the offscreen platform, a
// runtime and a configuration directory of the program's own (the instance
// lock and the port map live there), the application's error display, and
// the watchdog.
//
// Driving the real dialogs: a test starts the blocking entry (the main
// window's loop, or a click that opens a modal dialog) and a script of steps
// runs meanwhile from inside whatever loop is running, each step waiting
// for its condition. A watchdog ends a stuck script: it records where it
// stood and closes every modal window until the entry has returned, so a
// hang fails the test instead of blocking the run.
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Session.h"

class Script {
 public:
  // Waits until cond holds (checked every few milliseconds from the loop
  // that is running), then runs action from a loop of its own turn, so an
  // action may open a modal window.
  Script& Then(std::string what, std::function<bool()> cond, std::function<void()> action = {});
  // Runs entry with the script going; returns when entry has returned.
  // Fails (with the step it stood at) when the steps did not all run or the
  // watchdog fired after timeoutMs.
  ::testing::AssertionResult Run(const std::function<void()>& entry, int timeoutMs = 20000);

 private:
  struct Step {
    std::string what;
    std::function<bool()> cond;
    std::function<void()> action;
  };
  std::vector<Step> steps_;
};


// The window that has the modal grab, or null.
inline QWidget* ActiveModal() { return QApplication::activeModalWidget(); }

// The text of the message box that is the active modal window ("" when
// there is none) and a way to press its OK.
QString MessageBoxText();
void PressMessageBoxOk();

// Runs fn once the event loop that is running at that moment gets to it
// (a modal dialog's own loop, typically).
inline void Later(std::function<void()> fn, int ms = 0) { QTimer::singleShot(ms, qApp, std::move(fn)); }

struct SeenMessageBox {
  bool seen = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// The next message box that opens is recorded into *seen and closed with
// OK; then `after` runs (from the loop the box returned to).
void CloseNextMessageBox(SeenMessageBox* seen, std::function<void()> after = {});
