// CPU share of the program during a monitor read-out: the simulated receiver
// runs as a process of its own, paced like a 9600-baud line with a full
// monitor of 700 lines (about 30 s, about one receive notification per byte);
// the program, in this process, opens the monitor dialog as an operator
// would and reads it out. CPU seconds of this process from the opening to
// the monitor shown, over the wall time.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "Session.h"
#include "app/Forms.h"
#include "link/Channel.h"
#include "monitor/Mon.h"
#include "ui/ErrorDisplay.h"

namespace {

constexpr int kLines = 700;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

int Fail(const char* what) {
  std::fprintf(stderr, "bench_monitor_readout: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The port map and the instance lock of this run only, shared with the
  // simulator through the environment.
  QTemporaryDir runtime, config;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  InstallApplicationErrorHandler();

  // Started without Qt's process watching, so that this process's event
  // loop watches what the program's does and nothing more.
  const QString simLog = config.filePath(QStringLiteral("sim.log"));
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, simLog.toLocal8Bit().constData(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string lineCount = std::to_string(kLines);
  char* simArgv[] = {const_cast<char*>(ZOV_SIM), const_cast<char*>("--reset-on-start"),
                     const_cast<char*>("--monitor-lines"), lineCount.data(), nullptr};
  pid_t simPid = 0;
  const int spawned = posix_spawn(&simPid, ZOV_SIM, &files, nullptr, simArgv, environ);
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) return Fail("the simulated receiver cannot be started");
  auto stopSim = [&] {
    kill(simPid, SIGTERM);
    waitpid(simPid, nullptr, 0);
  };
  const QRegularExpression announced(QStringLiteral("the receiver is on (COM\\d+)"));
  QString port;
  WaitUntil(
      [&] {
        QFile log(simLog);
        if (log.open(QIODevice::ReadOnly)) port = announced.match(QString::fromUtf8(log.readAll())).captured(1);
        return !port.isEmpty() || waitpid(simPid, nullptr, WNOHANG) != 0;
      },
      10000);
  if (port.isEmpty()) {
    stopSim();
    return Fail("the simulated receiver did not start");
  }
  if (const std::string failed = StartProgramLoggedIn(port.toStdString()); !failed.empty()) {
    EndProgram();
    stopSim();
    return Fail(failed.c_str());
  }

  int notifications = 0;
  QObject::connect(&Channel(), &TChannel::ActivityChanged, [&] { ++notifications; });
  double cpu = 0, wall = 0;
  bool shown = false;
  QElapsedTimer clock;
  // The end of the read-out, looked for ten times a second (a cost of its
  // own, far below the goal's).
  QTimer watch;
  watch.setInterval(100);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const bool failed = Mon->Panel->Color() == kRed;
    if (!Mon->Button2->isEnabled() && !failed && clock.elapsed() < 120000) return;
    cpu = CpuSeconds() - cpu;
    wall = clock.nsecsElapsed() / 1e9;
    shown = !failed && Mon->Memo1->isVisible();
    watch.stop();
    Mon->Button1->click();
  });
  watch.start();
  clock.start();
  cpu = CpuSeconds();
  Mon->ShowModal();

  const int lines = RxText().LineCount();
  EndProgram();
  stopSim();
  if (!shown) return Fail("the read-out did not succeed");
  if (lines != kLines) return Fail("the memo does not show the 700 monitor lines");
  std::fprintf(stderr, "monitor-readout: %d lines, %d notifications, %.1f s wall, %.3f s CPU\n", lines,
               notifications, wall, cpu);
  std::printf("monitor-readout-cpu-share: %.4f (goal <= 0.02)\n", cpu / wall);
  return 0;
}
