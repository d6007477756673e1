#pragma once
// CPU time the whole test process has used, for "sleeps, does not spin"
// checks.
#include <ctime>

inline double CpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
