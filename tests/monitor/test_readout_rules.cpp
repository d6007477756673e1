// The read-out's rules and the monitor file on their own: when the watch
// gives up, which lines the memo keeps, and a file that is written whole or
// not at all.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <string>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "link/ReceiveText.h"
#include "monitor/MonitorFile.h"
#include "monitor/Readout.h"

namespace {

std::string ReadFile(const QString& name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll().toStdString();
}

bool WriteFile(const QString& name, const std::string& bytes) {
  QFile f(name);
  return f.open(QIODevice::WriteOnly) && f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

}  // namespace

TEST(MonitorWatch, GivesUpAtTheFortiethTickAndAPromptFoundThenStillCounts) {
  struct Case {
    int ticksWithoutPrompt;
    bool promptAtNextTick;
    monitor::TWatch expected;
  } cases[] = {
      {0, true, monitor::TWatch::Done},     {0, false, monitor::TWatch::Waiting},
      {38, false, monitor::TWatch::Waiting}, {39, false, monitor::TWatch::Failed},
      {39, true, monitor::TWatch::Done},
  };
  for (const Case& c : cases) {
    int ticks = monitor::kFirstTickCount;
    for (int i = 0; i < c.ticksWithoutPrompt; ++i)
      ASSERT_EQ(monitor::WatchTick(ticks, false), monitor::TWatch::Waiting) << i;
    EXPECT_EQ(monitor::WatchTick(ticks, c.promptAtNextTick), c.expected) << "tick " << c.ticksWithoutPrompt + 1;
  }
}

TEST(MonitorTrim, DeletesTheFirstAndLastLineAsTheMemoLaysThemOut) {
  struct Case {
    const char* received;
    int columns;
    const char* kept;
  } cases[] = {
      {"MONITOR: 2\r\nline 1\r\nline 2\r\nCMD>", 0, "line 1\r\nline 2\r\n"},
      // An empty last line is not a line: the last one with text goes.
      {"MONITOR\r\nline 1\r\nline 2\r\nCMD>\r\n", 0, "line 1\r\nline 2\r\n"},
      // Wrapped: only the first and the last displayed piece go.
      {"HEAD HEAD tail\r\nline 1\r\nline 2 CMD>", 10, "tail\r\nline 1\r\nline 2 "},
      {"CMD> in the middle\r\nrest", 0, ""},
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
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += char(b);
  bytes += "\r\n";
  const QString name = dir.filePath(QStringLiteral("monitor.txt"));
  struct Case {
    const char* what;
    std::function<QString()> prepare;  // the name to save to
    bool saved;
  } cases[] = {
      {"a new file", [&] { return name; }, true},
      {"over an old file", [&] { return WriteFile(name, "old") ? name : QString(); }, true},
      {"a directory in its place",
       [&] {
         const QString d = dir.filePath(QStringLiteral("taken.txt"));
         return QDir().mkdir(d) ? d : QString();
       },
       false},
      {"in a folder that does not exist", [&] { return dir.filePath(QStringLiteral("none/monitor.txt")); }, false},
      {"beyond the file size limit (a full disk)",
       [&] {
         std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
         rlimit limit{};
         getrlimit(RLIMIT_FSIZE, &limit);
         limit.rlim_cur = 100;
         setrlimit(RLIMIT_FSIZE, &limit);
         return name;
       },
       false},
  };
  for (const Case& c : cases) {
    const QString target = c.prepare();
    ASSERT_FALSE(target.isEmpty()) << c.what;
    const bool wasFile = QFileInfo(target).isFile();
    const std::string before = wasFile ? ReadFile(target) : "";
    std::string error;
    try {
      SaveMonitorFile(target, bytes);
    } catch (const EMonitorFile& e) {
      error = e.what();
    }
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
    if (c.saved) {
      EXPECT_EQ(error, "") << c.what;
      EXPECT_EQ(ReadFile(target), bytes) << c.what;
    } else {
      EXPECT_EQ(error, "Cannot create file " + target.toStdString()) << c.what;
      EXPECT_EQ(QFileInfo(target).isFile(), wasFile) << c.what;
      if (wasFile) EXPECT_EQ(ReadFile(target), before) << c.what;
    }
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("monitor.txt")}) << c.what;
  }
}
