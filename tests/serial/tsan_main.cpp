// The component's threads without an application object (also run under
// ThreadSanitizer), every test under a watchdog.
#include <gtest/gtest.h>

#include "Watchdog.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  TestWatchdog::Install();
  return RUN_ALL_TESTS();
}
