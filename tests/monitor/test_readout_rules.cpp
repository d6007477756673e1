// Which lines the memo keeps of a read-out, and a monitor file that is
// written whole or not at all.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "link/ReceiveText.h"
#include "monitor/MonitorFile.h"
#include "monitor/Readout.h"

TEST(MonitorTrim, DeletesTheFirstAndLastLineAsTheMemoLaysThemOut) {
  struct Case {
    const char* received;
    int columns;
    const char* kept;
  } cases[] = {
      {"MONITOR: 2\r\nline 1\r\nline 2\r\nCMD>", 0, "line 1\r\nline 2\r\n"},
      {"MONITOR\r\nline 1\r\nCMD>\r\n", 0, "line 1\r\n"},  // an empty last line is no line
      {"HEAD HEAD tail\r\nline 1\r\nline 2 CMD>", 10, "tail\r\nline 1\r\nline 2 "},  // wrapped pieces
  };
  for (const Case& c : cases) {
    TReceiveText text;
    text.SetWrapColumns(c.columns);
    text.Append(c.received);
    monitor::TrimToMonitor(text);
    EXPECT_EQ(text.Text(), c.kept) << c.received;
  }
}

TEST(MonitorFile, IsWrittenWholeOrLeavesTheOldFileAsItWas) {
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("monitor.txt"));
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += char(b);
  auto read = [](const QString& n) {
    QFile f(n);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<none>";
  };
  auto fileSizeLimit = [](rlim_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes == RLIM_INFINITY ? limit.rlim_max : bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  std::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG instead
  const QString taken = dir.filePath(QStringLiteral("taken.txt"));
  ASSERT_TRUE(QDir().mkdir(taken));
  struct Case {
    const char* what;
    QString target;
    std::function<void()> before;
    const char* expected;  // the file's content afterwards; null: refused
  } cases[] = {
      {"a new file", name, [] {}, bytes.c_str()},
      {"over an old file", name, [&] { SaveMonitorFile(name, "old"); }, bytes.c_str()},
      {"a directory in its place", taken, [] {}, nullptr},
      {"in a folder that does not exist", dir.filePath(QStringLiteral("none/monitor.txt")), [] {}, nullptr},
      {"cut short by the file system", name, [&] { fileSizeLimit(100); }, nullptr},
  };
  for (const Case& c : cases) {
    c.before();
    const std::string old = read(c.target);
    std::string error;
    try {
      SaveMonitorFile(c.target, bytes);
    } catch (const EMonitorFile& e) {
      error = e.what();
    }
    fileSizeLimit(RLIM_INFINITY);
    EXPECT_EQ(error, c.expected ? "" : "Cannot create file " + c.target.toStdString()) << c.what;
    EXPECT_EQ(read(c.target), c.expected ? c.expected : old) << c.what;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("monitor.txt")})
        << c.what << ": a temporary file left behind";
  }
  EXPECT_TRUE(QFileInfo(taken).isDir());
}
