// The write log: what a record says, that records are only ever added to
// the file, that a record cut short is never read as carrying the next
// one's outcome, and where the file is.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ProcessLimits.h"
#include "writelog/WriteLog.h"

using namespace writelog;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void SetTimeZone(const char* tz) {
  ::setenv("TZ", tz, 1);
  ::tzset();
}

}  // namespace

TEST(WriteLog, RecordsOfAHeaderAndIndentedDetailsAreAddedToWhatIsThere) {
  SetTimeZone("CET-1");  // one hour east of UTC, no summer time
  const auto at = std::chrono::system_clock::from_time_t(1777818125);  // 2026-05-03 14:22:05 UTC
  const TRecord records[] = {
      {at, "parametry", "COM2", 4660, TOutcome::Verified, {ChangeLine("Mrtvý čas", 180, 120), "beze změny"}},
      {at + std::chrono::hours(10), "hodiny", "COM16", std::nullopt, TOutcome::NotVerified, {"a\r\nb\nc\rd"}},
      {at, "hodiny", "COM1", 0, TOutcome::Stopped, {}},
  };
  QTemporaryDir dir;
  const std::string path = QDir(dir.path()).filePath(QStringLiteral("new/folder/zapisy.log")).toStdString();
  for (const TRecord& r : records) Append(path, r);  // the folder is made
  EXPECT_EQ(Read(path),
            "2026-05-03 15:22:05 +0100  parametry  COM2  výrobní číslo 4660  ověřeno\n"
            "  Mrtvý čas: 180 → 120\n  beze změny\n\n"
            "2026-05-04 01:22:05 +0100  hodiny  COM16  výrobní číslo neznámé  neověřeno\n  a / b / c / d\n\n"
            "2026-05-03 15:22:05 +0100  hodiny  COM1  výrobní číslo 0  zastaveno\n\n");
}

// The night the clocks go back, the hour from 02:00 to 03:00 comes twice;
// the offset tells which one a record is from.
TEST(WriteLog, EachRecordCarriesItsOffsetFromUtc) {
  struct Case {
    const char* tz;
    std::time_t utc;
    const char* header;
  } cases[] = {
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1792888200, "2026-10-25 02:30:00 +0200"},  // 00:30 UTC
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1792891800, "2026-10-25 02:30:00 +0100"},  // 01:30 UTC
      {"NST+3:30", 1792891800, "2026-10-24 22:00:00 -0330"},
      {"UTC0", 0, "1970-01-01 00:00:00 +0000"},
  };
  for (const Case& c : cases) {
    SetTimeZone(c.tz);
    const TRecord r{std::chrono::system_clock::from_time_t(c.utc), "hodiny", "COM1", 1, TOutcome::Verified, {}};
    EXPECT_EQ(RecordText(r), std::string(c.header) + "  hodiny  COM1  výrobní číslo 1  ověřeno\n\n") << c.tz;
  }
}

// A record that the file system cut short (a file size limit here, a full
// disk alike) is reported, and the next record first ends it with a mark:
// the cut record never seems to end in the next one's outcome.
TEST(WriteLog, ARecordCutShortIsEndedBeforeTheNext) {
  std::signal(SIGXFSZ, SIG_IGN);  // as the program does: the write fails with EFBIG
  SetTimeZone("UTC0");
  const auto at = std::chrono::system_clock::from_time_t(1777818125);
  const TRecord cut{at, "parametry", "COM2", 4660, TOutcome::Stopped, {"Mrtvý čas: 180 → 120", "beze změny"}};
  const TRecord next{at, "hodiny", "COM2", 4660, TOutcome::Verified, {"zapsáno: 0 03.05.2026 14:25:36"}};
  const std::string earlier = "2026-05-03 14:00:00 +0000  hodiny  COM1  výrobní číslo 1  ověřeno\n\n";
  const std::string cutText = RecordText(cut), nextText = RecordText(next);
  const std::size_t header = cutText.find('\n') + 1;
  const std::string mark = std::string(kCutRecordMark) + "\n\n";
  struct Case {
    const char* what;
    std::string before;  // the file's content before the cut record
    std::size_t kept;    // bytes of the cut record that reach the file
    std::string ending;  // what the next append puts first
  } cases[] = {
      {"in the header, before the outcome", "", 30, "\n" + mark},
      {"after an earlier record, in the header", earlier, 30, "\n" + mark},
      {"right after the header", earlier, header, mark},
      {"in a detail", earlier, header + 5, "\n" + mark},
      {"before the closing blank line", earlier, cutText.size() - 1, mark},
      {"not at all: whole", earlier, cutText.size(), ""},
  };
  for (const Case& c : cases) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("zapisy.log")).toStdString();
    std::ofstream(path, std::ios::binary) << c.before;
    std::string error;
    SetFileSizeLimit(c.before.size() + c.kept);
    try {
      Append(path, cut);
    } catch (const EWriteLog& e) {
      error = e.what();
    }
    SetFileSizeLimit(RLIM_INFINITY);
    const bool whole = c.kept == cutText.size();
    EXPECT_EQ(error, whole ? "" : "Záznam o zápisu nelze uložit do souboru " + path + ": File too large") << c.what;
    Append(path, next);
    EXPECT_EQ(Read(path), c.before + cutText.substr(0, c.kept) + c.ending + nextText) << c.what;
  }
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
