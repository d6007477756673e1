// CPU of the program during a monitor read-out: the simulated receiver runs
// as a process of its own, paced like a 9600-baud line with a full monitor
// of 700 lines (about 30 s); the program, in this process, opens the monitor
// dialog as an operator would and reads it out. Two figures:
//
// - monitor-readout-cpu-share-burst8: the receiver's replies reach the line
//   8 bytes at a time (--burst 8), as a UART's FIFO or a USB adapter
//   delivers them; this process's CPU seconds from the opening to the
//   monitor shown, over the wall time.
// - monitor-readout-cpu-vs-qserialport: one byte a notification. Each byte
//   costs the program the hand-over from the serial event thread to the GUI
//   thread and back, so its absolute cost depends on the machine; the figure
//   is the program's CPU over that of a minimal QSerialPort reader taking
//   the same paced stream from the same receiver right afterwards and
//   appending it to a hidden, read-only QPlainTextEdit, as a plain peer
//   would.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Session.h"
#include "app/Forms.h"
#include "link/Channel.h"
#include "monitor/Mon.h"
#include "portmap/PortMap.h"
#include "ui/ErrorDisplay.h"

namespace {

constexpr int kLines = 700;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

pid_t simPid = 0;   // the simulated receiver running, if any

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_monitor_readout: %s\n", what.c_str());
  if (simPid > 0) {
    kill(simPid, SIGTERM);
    waitpid(simPid, nullptr, 0);
  }
  std::exit(1);
}

struct Readout {
  double cpu = 0, wall = 0;
  int notifications = 0;
};

// The simulated receiver as a process of its own, reset and waiting for the
// login, with a full monitor; its stdout goes to a file, where it names its
// port. Started without Qt's process watching, so that this process's event
// loop watches what the program's does and nothing more.
class SimProcess {
 public:
  SimProcess(const QString& log, const char* burst) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, log.toLocal8Bit().constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string lines = std::to_string(kLines);
    std::vector<std::string> args = {ZOV_SIM, "--reset-on-start", "--monitor-lines", lines, "--burst", burst};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&simPid, ZOV_SIM, &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) {
      simPid = 0;
      Fail("the simulated receiver cannot be started");
    }
    const QRegularExpression announced(QStringLiteral("the receiver is on (COM\\d+)"));
    WaitUntil(
        [&] {
          QFile file(log);
          if (file.open(QIODevice::ReadOnly)) port_ = announced.match(QString::fromUtf8(file.readAll())).captured(1);
          return !port_.isEmpty() || waitpid(simPid, nullptr, WNOHANG) != 0;
        },
        10000);
    if (port_.isEmpty()) Fail("the simulated receiver did not start");
  }
  ~SimProcess() {
    kill(simPid, SIGTERM);
    waitpid(simPid, nullptr, 0);
    simPid = 0;
  }
  const QString& Port() const { return port_; }

 private:
  QString port_;
};

// The program logs in on the port and reads the monitor out with its dialog.
Readout ProgramReadout(const QString& port) {
  if (const std::string failed = StartProgramLoggedIn(port.toStdString()); !failed.empty()) Fail(failed);
  Readout r;
  QObject counting;
  QObject::connect(&Channel(), &TChannel::ActivityChanged, &counting, [&] { ++r.notifications; });
  bool shown = false;
  QElapsedTimer clock;
  // The end of the read-out, looked for ten times a second (a cost of its
  // own, far below the goals').
  QTimer watch;
  watch.setInterval(100);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const bool failed = Mon->Panel->Color() == kRed;
    if (!Mon->Button2->isEnabled() && !failed && clock.elapsed() < 120000) return;
    r.cpu = CpuSeconds() - r.cpu;
    r.wall = clock.nsecsElapsed() / 1e9;
    shown = !failed && Mon->Memo1->isVisible();
    watch.stop();
    Mon->Button1->click();
  });
  watch.start();
  clock.start();
  r.cpu = CpuSeconds();
  Mon->ShowModal();
  const int lines = RxText().LineCount();
  EndProgram();
  if (!shown) Fail("the program's read-out did not succeed");
  if (lines != kLines) Fail("the memo does not show the 700 monitor lines");
  return r;
}

// A plain QSerialPort peer on the same receiver, already logged in: "m", and
// every notification's bytes decoded and appended to a hidden text edit
// until the closing prompt.
Readout PeerReadout(const QString& port) {
  const auto entries = serial::PortMapEntries();
  const auto entry = entries.find(serial::ComNumberOf(port.toStdString()));
  if (entry == entries.end()) Fail("the receiver's port is not in the port map");
  QSerialPort serial;
  serial.setPortName(QString::fromStdString(entry->second.string()));
  serial.setBaudRate(9600);
  if (!serial.open(QIODevice::ReadWrite)) Fail("QSerialPort: " + serial.errorString().toStdString());
  QPlainTextEdit edit;   // never shown
  edit.setReadOnly(true);
  QStringDecoder decoder("windows-1250");
  QByteArray received;
  Readout r;
  QObject::connect(&serial, &QSerialPort::readyRead, [&] {
    const QByteArray bytes = serial.readAll();
    received += bytes;
    ++r.notifications;
    edit.moveCursor(QTextCursor::End);
    edit.insertPlainText(decoder.decode(bytes));
  });
  serial.write("\r");
  if (!WaitUntil([&] { return received.contains("CMD>"); }, 5000)) Fail("the receiver does not answer the peer");
  received.clear();
  edit.clear();
  r.notifications = 0;
  QElapsedTimer clock;
  clock.start();
  r.cpu = CpuSeconds();
  serial.write("m");
  QEventLoop loop;
  QObject::connect(&serial, &QSerialPort::readyRead, &loop, [&] {
    if (received.endsWith("CMD>")) loop.quit();
  });
  QTimer::singleShot(120000, &loop, &QEventLoop::quit);
  loop.exec();
  r.cpu = CpuSeconds() - r.cpu;
  r.wall = clock.nsecsElapsed() / 1e9;
  if (!received.endsWith("CMD>") || edit.document()->lineCount() < kLines)
    Fail("the peer's read-out did not succeed");
  return r;
}

void Report(const char* what, const Readout& r) {
  std::fprintf(stderr, "monitor-readout %s: %d notifications, %.1f s wall, %.3f s CPU\n", what, r.notifications,
               r.wall, r.cpu);
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

  Readout burst8, program, peer;
  {
    SimProcess sim(config.filePath(QStringLiteral("sim8.log")), "8");
    burst8 = ProgramReadout(sim.Port());
  }
  {
    SimProcess sim(config.filePath(QStringLiteral("sim1.log")), "1");
    program = ProgramReadout(sim.Port());
    peer = PeerReadout(sim.Port());
  }
  Report("burst 8, program", burst8);
  Report("burst 1, program", program);
  Report("burst 1, QSerialPort peer", peer);
  std::printf("monitor-readout-cpu-share-burst8: %.4f (goal <= 0.01)\n", burst8.cpu / burst8.wall);
  std::printf("monitor-readout-cpu-vs-qserialport: %.2f (goal <= 3.0; %.3f s against %.3f s CPU)\n",
              program.cpu / peer.cpu, program.cpu, peer.cpu);
  return 0;
}
