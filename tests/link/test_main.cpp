// One QApplication for the whole test program, so the tests can run event
// loops, timers and widgets. Without a display (and when ctest lists the tests,
// before its environment applies) it runs offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include "TestWatchdog.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
