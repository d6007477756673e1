// The entry of test programs without an application object.
#include <gtest/gtest.h>

#include "TestWatchdog.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
