// One QApplication for the whole test program. Offscreen unless told
// otherwise: ctest lists the tests without the tests' environment.
#include <gtest/gtest.h>

#include <QApplication>

#include "Watchdog.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  TestWatchdog::Install();
  return RUN_ALL_TESTS();
}
