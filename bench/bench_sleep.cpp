// CPU cost of the delay: process CPU time over wall time during Sleep(2000)
// in a GUI application (the delay must block in the event loop, not poll).
#include <QApplication>
#include <cstdio>
#include <ctime>

#include "link/Sleeper.h"

static double Seconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TSleeper sleeper;
  sleeper.Sleep(50);  // settle start-up work outside the measurement

  const double wall0 = Seconds(CLOCK_MONOTONIC);
  const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  sleeper.Sleep(2000);
  const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  const double wall = Seconds(CLOCK_MONOTONIC) - wall0;

  std::printf("sleep-cpu-ratio: %.4f (goal <= 0.01)\n", cpu / wall);
  return 0;
}
