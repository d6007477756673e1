// The write log: what a record says, and that records are only ever added
// to the file.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "writelog/WriteLog.h"

using namespace writelog;

namespace {

std::chrono::system_clock::time_point At(std::time_t seconds) {
  return std::chrono::system_clock::from_time_t(seconds);
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(WriteRecord, AHeaderLineThenTheDetailsIndentedThenABlankLine) {
  ::setenv("TZ", "CET-1", 1);  // one hour east of UTC, no summer time
  ::tzset();
  const std::time_t t = 1777818125;  // 2026-05-03 14:22:05 UTC
  struct Case {
    TRecord record;
    const char* text;
  } cases[] = {
      {{At(t), "parametry", "COM2", 4660, TOutcome::Verified,
        {ChangeLine("Mrtvý čas", 180, 120), "Adresa (5): 0 → 612345"}},
       "2026-05-03 15:22:05  parametry  COM2  výrobní číslo 4660  ověřeno\n"
       "  Mrtvý čas: 180 → 120\n  Adresa (5): 0 → 612345\n\n"},
      {{At(t + 3600 * 10), "hodiny", "COM1", std::nullopt, TOutcome::NotVerified,
        {"před zápisem: x", "zapsáno: y"}},
       "2026-05-04 01:22:05  hodiny  COM1  výrobní číslo neznámé  neověřeno\n  před zápisem: x\n  zapsáno: y\n\n"},
      {{At(t), "hodiny", "COM16", 0, TOutcome::Stopped, {"a\r\nb\nc\rd"}},
       "2026-05-03 15:22:05  hodiny  COM16  výrobní číslo 0  zastaveno\n  a / b / c / d\n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(RecordText(c.record), c.text);
}

TEST(WriteLog, RecordsAreAddedToWhatIsThereAndAFailureSaysWhy) {
  QTemporaryDir dir;
  const std::string path = QDir(dir.path()).filePath(QStringLiteral("new/folder/zapisy.log")).toStdString();
  const TRecord first{At(0), "parametry", "COM1", 1, TOutcome::Verified, {"beze změny"}};
  const TRecord second{At(0), "hodiny", "COM1", 1, TOutcome::Stopped, {}};
  Append(path, first);  // the folder is made
  Append(path, second);
  EXPECT_EQ(Read(path), RecordText(first) + RecordText(second));

  // A folder where the file should be: the record is refused, with the file
  // and the reason.
  const std::string taken = QDir(dir.path()).filePath(QStringLiteral("new")).toStdString();
  try {
    Append(taken, first);
    ADD_FAILURE() << "appended to a folder";
  } catch (const EWriteLog& e) {
    EXPECT_EQ(std::string(e.what()), "Záznam o zápisu nelze uložit do souboru " + taken + ": Is a directory");
  }
  EXPECT_EQ(Read(path), RecordText(first) + RecordText(second));
}
