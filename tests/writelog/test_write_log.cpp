// The write log: what a record says, that records are only ever added to
// a regular file, and where the file is.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ProcessLimits.h"
#include "writelog/WriteLog.h"

using namespace writelog;

TEST(WriteLog, RecordsOfAHeaderAndIndentedDetailsAreAddedToWhatIsThere) {
  ::setenv("TZ", "CET-1", 1);  // one hour east of UTC, no summer time
  ::tzset();
  const auto at = std::chrono::system_clock::from_time_t(1777818125);  // 2026-05-03 14:22:05 UTC
  const TRecord records[] = {
      {at, "parametry", "COM2", 4660, TOutcome::Verified, {ChangeLine("Mrtvý čas", 180, 120), "beze změny"}},
      {at + std::chrono::hours(10), "hodiny", "COM16", std::nullopt, TOutcome::NotVerified, {"a\r\nb\nc\rd"}},
      {at, "hodiny", "COM1", 0, TOutcome::Stopped, {}},
  };
  QTemporaryDir dir;
  const std::string path = QDir(dir.path()).filePath(QStringLiteral("new/folder/zapisy.log")).toStdString();
  for (const TRecord& r : records) Append(path, r);  // the folder is made
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "2026-05-03 15:22:05  parametry  COM2  výrobní číslo 4660  ověřeno\n"
            "  Mrtvý čas: 180 → 120\n  beze změny\n\n"
            "2026-05-04 01:22:05  hodiny  COM16  výrobní číslo neznámé  neověřeno\n  a / b / c / d\n\n"
            "2026-05-03 15:22:05  hodiny  COM1  výrobní číslo 0  zastaveno\n\n");
}

// Only a regular file takes the records: a FIFO of that name is refused at
// once (opening it to write would wait for a reader).
TEST(WriteLog, IsAppendedToARegularFileOnly) {
  QTemporaryDir dir;
  const std::string fifo = QDir(dir.path()).filePath(QStringLiteral("zapisy.log")).toStdString();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  try {
    Append(fifo, TRecord{std::chrono::system_clock::now(), "hodiny", "COM1", 1, TOutcome::Verified, {}});
    ADD_FAILURE() << "appended to a FIFO";
  } catch (const EWriteLog& e) {
    EXPECT_EQ(e.what(), "Záznam o zápisu nelze uložit do souboru " + fifo +
                            ": je to pojmenovaná roura (FIFO), ne obyčejný soubor");
  }
}

// The data folder is found as the port map's folder is: with HOME unset or
// empty, in the account's home, never under "/".
TEST(WriteLog, IsInTheDataFolderOfTheAccountsHome) {
  const passwd* pw = ::getpwuid(::getuid());
  ASSERT_TRUE(pw && pw->pw_dir);
  const std::string account = std::string(pw->pw_dir) + "/.local/share/zov-q5r/zapisy.log";
  struct Case {
    const char* data;
    const char* home;
    std::string path;
  } cases[] = {
      {"/srv/data", "/home/op", "/srv/data/zov-q5r/zapisy.log"},
      {nullptr, "/home/op", "/home/op/.local/share/zov-q5r/zapisy.log"},
      {nullptr, "", account},
      {nullptr, nullptr, account},
  };
  for (const Case& c : cases) {
    ScopedEnv data("XDG_DATA_HOME", c.data);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(LogPath(), c.path) << (c.home ? c.home : "(unset)");
  }
}
