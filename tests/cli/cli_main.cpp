// The entry of the client's tests: an application object, and a runtime, a
// configuration and a data folder of the tests' own, so that the port map
// the simulated receivers publish to (and the client reads) is never the
// user's.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestWatchdog.h"

int main(int argc, char** argv) {
  QTemporaryDir runtime;
  QTemporaryDir config;
  QTemporaryDir data;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
