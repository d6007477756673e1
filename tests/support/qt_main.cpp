// The entry of test programs with windows: one application object for
// every test, the offscreen platform, and folders of the tests' own.
#include <QApplication>

#include <gtest/gtest.h>

#include "TestFolders.h"
#include "TestWatchdog.h"
#include "ui/ErrorDisplay.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TestFolders folders;
  QApplication app(argc, argv);
  InstallApplicationErrorHandler();
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
