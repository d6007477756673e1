#pragma once
// Helpers for driving the real windows in tests.
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

#include "app/Forms.h"

// Runs fn once the event loop that is running at that moment gets to it
// (a modal dialog's own loop, typically).
inline void Later(std::function<void()> fn, int ms = 0) { QTimer::singleShot(ms, qApp, std::move(fn)); }

// Waits, in the event loop, until pred holds or ms have passed.
bool WaitFor(const std::function<bool()>& pred, int ms = 5000);

struct SeenMessageBox {
  bool seen = false;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// The next message box that opens is recorded into *seen and closed with
// OK; then `after` runs (from the loop the box returned to).
void CloseNextMessageBox(SeenMessageBox* seen, std::function<void()> after = {});

// Every test of a fixture of this kind runs with the program's windows.
class WithForms : public ::testing::Test {
 protected:
  void SetUp() override { CreateForms(); }
  void TearDown() override { DestroyForms(); }
};
