// The entry of the client's tests: an application object, and folders of
// the tests' own, so that the port map the simulated receivers publish to
// (and the client reads) is never the user's.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include "TestFolders.h"
#include "TestWatchdog.h"

int main(int argc, char** argv) {
  TestFolders folders;
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
