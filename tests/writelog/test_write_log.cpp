// The write log: what a record says, and that records are only ever added
// to the file.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <iterator>

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
