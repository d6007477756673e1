// The serial tests run with an application object, so the event thread's
// hand-over reaches a real GUI-thread event loop.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "Watchdog.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  TestWatchdog::Install();
  return RUN_ALL_TESTS();
}
