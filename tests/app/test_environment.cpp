// The program as a process in a hostile environment: Qt's own options on
// its command line, a trace that could hang it or reach a serial port, a
// pipe whose reader has gone, a full device, a file size limit. It never
// hangs and never dies of a signal: what it cannot take it refuses at once
// with status 2 and its reason; a write that fails later is reported and the
// program runs on.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppTest.h"
#include "app/SingleInstance.h"
#include "app/ZOV.h"
#include "sim/Receiver.h"

namespace {

// The program as a process with a runtime folder of its own. setUp runs in
// the child between fork and exec (only what is safe there).
class Program {
 public:
  Program(const QStringList& args, bool display, std::function<void()> setUp) {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    e.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!display)
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) e.remove(QString::fromLatin1(name));
    process_.setProcessEnvironment(e);
    if (setUp) process_.setChildProcessModifier(std::move(setUp));
    process_.start(QStringLiteral(ZOV_EXE), args);
  }
  ~Program() {
    process_.kill();
    process_.waitForFinished(10000);
  }
  QProcess& Process() { return process_; }
  QString Stderr() { return err_ += QString::fromLocal8Bit(process_.readAllStandardError()); }
  bool Ended() const { return process_.state() == QProcess::NotRunning; }
  // Up and running: holding its instance lock.
  bool Running() {
    const QString lock =
        QDir(runtime_.path()).filePath(InstanceLockName(QString::fromUtf8(kMainCaption)) + QStringLiteral(".lock"));
    return !Ended() && LockHeldBy(lock, process_.processId());
  }

 private:
  QTemporaryDir runtime_;
  QProcess process_;
  QString err_;
};

}  // namespace

// Qt takes its own options (a session manager's -session, a platform chosen
// on the command line), and a write that fails is only reported. Without
// the signals ignored, the file size limit would end the program by SIGXFSZ
// and a pipe whose reader has gone by SIGPIPE.
TEST(Environment, StartsWithQtsOptionsAndOutlivesAWriteThatFails) {
  QTemporaryDir dir;
  const QString big = dir.filePath(QStringLiteral("big.log"));
  {
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(200));
  }
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  ::close(pipeEnds[0]);  // the reader gone
  const int dead = pipeEnds[1];
  const QString stops = QStringLiteral("zov-q5r: tracing stops, the trace file %1 cannot be written: %2\n");
  struct Case {
    QStringList args;
    bool display;
    std::function<void()> setUp;
    QString report;  // on stderr
  } cases[] = {
      {{"-platform", "offscreen"}, false, {}, ""},
      {{"--platform", "offscreen", "--servis"}, false, {}, ""},
      {{"-session", "10d6a6b0c1e2f3000170000000100000", "-style", "Fusion", "-reverse"}, true, {}, ""},
      {{"--trace", big},
       true,
       [] {
         const rlimit limit{100, 100};  // room for the instance lock, none for the trace
         ::setrlimit(RLIMIT_FSIZE, &limit);
       },
       stops.arg(big, "File too large")},
      // zov-q5r --trace /dev/stdout | true, once true has ended
      {{"--trace", "/dev/stdout"}, true, [dead] { ::dup2(dead, STDOUT_FILENO); },
       stops.arg("/dev/stdout", "Broken pipe")},
      {{"--trace", "/dev/full"}, true, {}, stops.arg("/dev/full", "No space left on device")},
      // Qt's warning about the style, to a stderr whose reader has gone.
      {{"-style", "none-such"}, true, [dead] { ::dup2(dead, STDERR_FILENO); }, ""},
  };
  for (const Case& c : cases) {
    Program p(c.args, c.display, c.setUp);
    WaitUntil([&] { return (p.Running() && p.Stderr() == c.report) || p.Ended(); }, 20000);
    EXPECT_TRUE(p.Running()) << c.args.join(' ').toStdString();
    EXPECT_EQ(p.Stderr(), c.report) << c.args.join(' ').toStdString();
  }
  ::close(dead);
  EXPECT_EQ(QFileInfo(big).size(), 200);
}

// What could hang the program (a FIFO nobody reads) or put its trace on the
// receiver's line is refused at once, before a window could be needed.
TEST(Environment, ATraceThatWouldHangOrReachAPortIsRefusedAtOnce) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  sim::Options o;
  o.pacing = false;
  sim::Receiver receiver(o);  // publishes its line in the port map the program reads
  receiver.Start();
  const std::pair<QString, std::string> cases[] = {
      {fifo, "no program reads from this FIFO (or pipe)"},
      {QString::fromStdString(receiver.DevicePath()), "it is the serial port " + receiver.PortName() + " (" +
                                                          receiver.DevicePath() +
                                                          "), which the trace must not write to"},
  };
  for (const auto& [trace, why] : cases) {
    Program p({QStringLiteral("--trace"), trace}, false, {});
    EXPECT_TRUE(p.Process().waitForFinished(20000)) << trace.toStdString() << ": still running";
    EXPECT_EQ(p.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.Process().exitCode(), 2);
    EXPECT_EQ(p.Stderr().toStdString(), "zov-q5r: cannot open the trace file '" + trace.toStdString() + "': " + why + "\n");
  }
  EXPECT_EQ(receiver.ReceivedText(), "");  // nothing reached the receiver
}
