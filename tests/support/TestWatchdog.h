#pragma once
// Every test program installs this: a test that runs longer than its limit
// ends the program with its name, so a hang fails the run instead of
// stalling it. The limit is generous (tests wait for conditions with
// deadlines of their own); ZOV_TEST_WATCHDOG_S overrides it.
void InstallTestWatchdog(int seconds = 300);
