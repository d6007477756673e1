// The entry of test programs with windows: one application object for
// every test, the offscreen platform, and a runtime, a configuration and a
// data directory of the program's own, so the instance lock, the port map
// the simulated receivers publish to and the write log are never the
// user's.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestWatchdog.h"
#include "ui/ErrorDisplay.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir runtime;
  QTemporaryDir config;
  QTemporaryDir data;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  QApplication app(argc, argv);
  InstallApplicationErrorHandler();
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
