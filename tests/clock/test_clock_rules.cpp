// The clock's rules on their own: the cut of the reply to "t", the strings a
// write sends, the range checks, and the computer clock's texts.
#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

#include "clock/ClockRules.h"
#include "clock/PcClock.h"
#include "convert/IntConversion.h"

TEST(ClockRules, TheReplyIsCutByPlaceFromTheFirstColonOfItsFirstLine) {
  const std::pair<const char*, TClockReading> cases[] = {
      {"HODINY: 3 07.12.26 23:29:07", {"3", "07.12.2026", "23:29:07"}},
      {"A:HODINY: 3 07.12.26 23:29:07", {"O", "IN.: .20 0", ".1:.2: 2"}},  // an earlier colon counts
      {"abcdefghijklmnopqrstuvwxyz", {"b", "de.gh.20jk", "mn:pq:st"}},       // no colon: from the start
      {"HODINY: 3 07.1", {"3", "07.1.20", "::"}},
      {"", {"", "..20", "::"}},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(CutClockReply(line), expected) << '"' << line << '"';
  // The day of week goes out whole, the year as its last two digits.
  EXPECT_EQ(ClockWriteFields("06", "31.02.2100", " 8:07:06"),
            (std::vector<std::string>{"06", "31", "02", "00", " 8", "07", "06"}));
}

TEST(ClockRules, EveryPartIsConvertedBeforeTheRangeVerdict) {
  struct Case {
    bool (*check)(std::string_view);
    const char* text;
    const char* verdict;  // "pass", "refuse" or the part that is no number
  };
  const Case cases[] = {
      {DayOfWeekInRange, "06", "pass"},         {DayOfWeekInRange, "7", "refuse"},
      {DayOfWeekInRange, "-1", "refuse"},       {DayOfWeekInRange, "", ""},
      {DateInRange, "31.02.2030", "pass"},      {DateInRange, " 5. 3.2000", "pass"},
      {DateInRange, "01.12.2100", "pass"},      {DateInRange, "00.01.2030", "refuse"},
      {DateInRange, "32.01.2030", "refuse"},    {DateInRange, "01.00.2030", "refuse"},
      {DateInRange, "01.13.2030", "refuse"},    {DateInRange, "01.01.1999", "refuse"},
      {DateInRange, "01.01.2101", "refuse"},    {DateInRange, "5 .03.2031", "5 "},
      {DateInRange, "32.xx.2030", "xx"},        {TimeInRange, "23:59:59", "pass"},
      {TimeInRange, " 0:00:00", "pass"},        {TimeInRange, "24:00:00", "refuse"},
      {TimeInRange, "00:60:00", "refuse"},      {TimeInRange, "00:00:60", "refuse"},
      {TimeInRange, "24:00:  ", "  "},
  };
  for (const Case& c : cases) {
    std::string verdict;
    try {
      verdict = c.check(c.text) ? "pass" : "refuse";
    } catch (const EConvertError& e) {
      verdict = e.what();
    }
    const std::string expected = std::string(c.verdict) == "pass" || std::string(c.verdict) == "refuse"
                                     ? c.verdict
                                     : "'" + std::string(c.verdict) + "' is not a valid integer value";
    EXPECT_EQ(verdict, expected) << '"' << c.text << '"';
  }
}

TEST(ClockRules, TheComputersClockCountsSundayAsZeroAndShowsTheLocalesTimeWithoutTheZone) {
  struct Case {
    const char* locale;
    QDateTime now;
    const char *dow, *date, *time;
  };
  const QDateTime sunday(QDate(2024, 6, 2), QTime(18, 3, 2, 900));
  const QDateTime saturday(QDate(2024, 6, 8), QTime(6, 3, 2));
  const Case cases[] = {
      {"cs_CZ", sunday, "0", "02.06.24", "18:03:02"},    // H:mm:ss t
      {"cs_CZ", saturday, "6", "08.06.24", "6:03:02"},
      {"en_US", sunday, "0", "6/2/24", "6:03:02 PM"},    // h:mm:ss AP t
      {"zh_CN", saturday, "6", "2024/6/8", "06:03:02"},  // t HH:mm:ss
      {"es_ES", saturday, "6", "8/6/24", "6:03:02"},     // H:mm:ss (t)
      {"fr_CA", saturday, "6", "2024-06-08", "06 h 03 min 02 s"},
  };
  for (const Case& c : cases) {
    const TPcClockTexts t = PcClockTexts(c.now, QLocale(QString::fromUtf8(c.locale)));
    EXPECT_EQ(t.Dow + ' ' + t.Date + ' ' + t.Time,
              QString::fromUtf8(c.dow) + ' ' + QString::fromUtf8(c.date) + ' ' + QString::fromUtf8(c.time))
        << c.locale;
  }
}
