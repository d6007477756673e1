// The command-line client as a process:
//
// cli-write-overhead: the wall time of a verified "zov-q5r-cli write" against
// the simulated receiver at 9600 baud (paced), the receiver logged in by a
// run before, over the command's fixed waits. The issue puts the minimum at
// 1000 + 500 + 128 x 100 + 2000 ms, the dialog's write and its read-back
// (16.3 s); but the command, as the issue also requires, first checks that
// the receiver is still logged in (a carriage return and 1000 ms) and reads
// the set it writes over (for the backup, the serial number and "beze
// změny": "e" and 2000 ms), 19.3 s in all. Both ratios are printed with the
// goal of 1.01; against 16.3 s the goal cannot be met by a command that
// does what it must, and no step is skipped or shortened to meet it.
//
// cli-startup-ms: the median wall time of "zov-q5r-cli --version".
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

#include "receiver/SetCompare.h"
#include "sim/Receiver.h"

extern char** environ;

namespace {

constexpr double kCommandWaitsS = 1.0 + 2.0 + 1.0 + 0.5 + 128 * 0.1 + 2.0;  // 19.3
constexpr double kIssueMinimumS = 1.0 + 0.5 + 128 * 0.1 + 2.0;             // 16.3

// Runs the client to its end; its exit status, -1 when it did not end
// within two minutes or died.
int Run(const QStringList& args, double* seconds) {
  QProcess client;
  client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  client.setStandardOutputFile(QProcess::nullDevice());
  QElapsedTimer timer;
  timer.start();
  client.start(QStringLiteral(ZOV_CLI), args);
  if (!client.waitForFinished(120000)) {
    client.kill();
    client.waitForFinished();
    return -1;
  }
  if (seconds) *seconds = timer.nsecsElapsed() / 1e9;
  return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
}

double MedianStartupMs(int runs) {
  std::vector<double> ms;
  char program[] = ZOV_CLI;
  char version[] = "--version";
  char* argv[] = {program, version, nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  posix_spawn_file_actions_destroy(&actions);
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const double startup = MedianStartupMs(21);
  if (startup < 0) {
    std::fprintf(stderr, "cli-startup-ms: zov-q5r-cli --version failed\n");
    return 1;
  }
  std::printf("cli-startup-ms: %.1f (goal <= 30)\n", startup);

  sim::Options o;
  o.resetOnStart = true;  // paced, as at 9600 baud
  sim::Receiver receiver(o);
  receiver.Start();
  const QString port = QString::fromStdString(receiver.PortName());
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("sada.q5r"));
  {
    const TParamImage set = sim::Receiver::DefaultParams();
    params::TValues values = params::ValuesOfReadOut(set);
    values.Dead = 99;
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(params::SetFileOf(values, set, false, "-").c_str()) < 0) return 1;
  }
  // The login, by a run of its own: the timed write finds it logged in.
  if (Run({"--port", port, "-q", "clock"}, nullptr) != 0) {
    std::fprintf(stderr, "cli-write-overhead: the client did not log in\n");
    return 1;
  }
  double seconds = 0;
  if (Run({"--port", port, "-q", "write", file}, &seconds) != 0 || receiver.FramesAccepted() != 1) {
    std::fprintf(stderr, "cli-write-overhead: the write was not verified\n");
    return 1;
  }
  std::printf("cli-write-overhead: %.4f (goal <= 1.01; %.3f s over the command's fixed waits of %.1f s)\n",
              seconds / kCommandWaitsS, seconds, kCommandWaitsS);
  std::printf("cli-write-overhead-issue: %.4f (goal <= 1.01; %.3f s over the issue's %.1f s, which leaves out the "
              "login check and the read before the write)\n",
              seconds / kIssueMinimumS, seconds, kIssueMinimumS);
  return 0;
}
