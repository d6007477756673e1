// The program's command line, run as a process without any display: --help
// and --version answer before a window could be needed, Qt's own options are
// left to Qt, and anything else, a trace file that cannot be opened
// included, is refused with exit status 2.
#include <QProcess>

#include "AppTest.h"
#include "ProgramInfo.h"

namespace {

TEST(CommandLine, AnswersWithoutADisplayAndRefusesWhatItDoesNotKnow) {
  struct Case {
    QStringList args;
    int status;
    const char* out;   // expected in stdout
    const char* err;   // expected in stderr
  };
  const Case cases[] = {
      {{"--help"}, 0, "Usage: zov-q5r [OPTION]", ""},
      {{"-h"}, 0, "--version", ""},
      {{"--version"}, 0, "zov-q5r " ZOV_VERSION "\nLicence GPL-3.0-or-later: ", ""},
      {{"--frobnicate"}, 2, "", "zov-q5r: Unknown option 'frobnicate'.\nTry 'zov-q5r --help'."},
      {{"--version", "COM1"}, 2, "", "unexpected argument 'COM1'"},
      {{"--help"}, 0, "--trace <FILE>", ""},
      {{"--servis", "--version"}, 0, "zov-q5r " ZOV_VERSION "\n", ""},
      {{"--trace"}, 2, "", "zov-q5r: Missing value after '--trace'."},
      {{"--trace", "/nonexistent/trace.log"}, 2, "",
       "zov-q5r: cannot open the trace file '/nonexistent/trace.log': No such file or directory\n"},
      // Qt's own options are Qt's; the program's are answered all the same.
      {{"-platform", "xcb", "--version"}, 0, "zov-q5r " ZOV_VERSION "\n", ""},
      {{"-session", "10d6a6b0c1e2f3", "--help"}, 0, "Qt's own options", ""},
      {{"-platform"}, 2, "", "zov-q5r: Missing value after '-platform'."},
      {{"-style", "Fusion", "--frobnicate"}, 2, "", "zov-q5r: Unknown option 'frobnicate'."},
      {{"-platform=xcb"}, 2, "", "zov-q5r: Unknown options: p, l, a, t, f, o, r, m, =, x, c, b."},
  };
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
  for (const Case& c : cases) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZOV_EXE), c.args);
    ASSERT_TRUE(p.waitForFinished(10000)) << c.args.join(' ').toStdString();
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << c.args.join(' ').toStdString();
    EXPECT_EQ(p.exitCode(), c.status) << c.args.join(' ').toStdString() << "\n" << err.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8(c.out))) << out.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.err))) << err.toStdString();
    if (c.status == 0) EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    else EXPECT_TRUE(out.isEmpty()) << out.toStdString();
  }
}

}  // namespace
