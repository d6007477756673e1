// The clock's rules on their own: the cut of the reply to "t", the strings a
// write sends, the range checks, and the computer clock's texts.
#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

#include "receiver/ClockRules.h"
#include "receiver/PcClock.h"
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
  EXPECT_EQ(ClockWriteFields("06", "31.12.2099", " 8:07:06"),
            (std::vector<std::string>{"06", "31", "12", "99", " 8", "07", "06"}));
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
      {DateInRange, " 5. 3.2000", "pass"},      {DateInRange, "31.12.2099", "pass"},
      // The receiver's two-digit year: 2100 would read back as 2000.
      {DateInRange, "01.01.2100", "refuse"},    {DateInRange, "00.01.2030", "refuse"},
      // A day past its month's end, leap years counted.
      {DateInRange, "31.02.2030", "refuse"},    {DateInRange, "29.02.2026", "refuse"},
      {DateInRange, "29.02.2024", "pass"},      {DateInRange, "29.02.2000", "pass"},
      {DateInRange, "31.04.2026", "refuse"},    {DateInRange, "30.04.2026", "pass"},
      {DateInRange, "31.13.2030", "refuse"},    {DateInRange, "31.02.xxxx", "xxxx"},
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

// The computer's clock in any locale, without restating the locale's data
// (which changes with Qt's): the day of week as the receiver counts it, the
// date in the short form (numbers, no names), the time in the long form
// (seconds shown) without the zone the long form carries.
TEST(ClockRules, TheComputersClockCountsSundayAsZeroAndShowsTheShortDateAndTheLongTimeWithoutTheZone) {
  for (int d = 0; d < 7; ++d) {
    const QDateTime day(QDate(2024, 6, 2).addDays(d), QTime(12, 0));  // Sunday 2 June 2024 onwards
    EXPECT_EQ(PcClockTexts(day, QLocale::c()).Dow, QString::number(d)) << d;
  }
  const QDateTime now(QDate(2024, 6, 2), QTime(18, 3, 47, 900));
  for (const char* name : {"cs_CZ", "en_US", "de_DE", "es_ES", "fr_CA", "zh_CN", "ja_JP", "ko_KR"}) {
    SCOPED_TRACE(name);
    const QLocale locale(QString::fromUtf8(name));
    const TPcClockTexts t = PcClockTexts(now, locale);
    EXPECT_TRUE(t.Date.contains(QStringLiteral("24")));  // the year, in two digits or four
    EXPECT_FALSE(t.Date.contains(locale.monthName(6))) << t.Date.toStdString();
    EXPECT_FALSE(t.Date.contains(locale.dayName(7))) << t.Date.toStdString();
    EXPECT_TRUE(t.Time.contains(QStringLiteral("47"))) << t.Time.toStdString();
    const QString zone = locale.toString(now.time(), QStringLiteral("t"));  // what the long form would show
    if (!zone.isEmpty()) {
      EXPECT_FALSE(t.Time.contains(zone)) << t.Time.toStdString();
    }
    EXPECT_EQ(t.Time, t.Time.trimmed());
    EXPECT_FALSE(t.Time.contains(QStringLiteral("()"))) << t.Time.toStdString();
  }
}

TEST(ClockRules, TheZoneIsTakenOutOfATimeFormatWithTheBlankAndBracketsAroundIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"H:mm:ss t", "H:mm:ss"},
      {"t HH:mm:ss", "HH:mm:ss"},
      {"H:mm:ss (t)", "H:mm:ss"},
      {"h:mm:ss AP [t]", "h:mm:ss AP"},
      {"HH:mm:ss tttt", "HH:mm:ss"},
      {"HH 'h' mm 'min' ss 's' t", "HH 'h' mm 'min' ss 's'"},
      {"HH 'at' mm t", "HH 'at' mm"},            // a quoted t is text
      {"HH 'o''clock' mm t", "HH 'o''clock' mm"},  // so is one after a quoted quote
      {"HH:mm:ss", "HH:mm:ss"},
  };
  for (const auto& [format, expected] : cases)
    EXPECT_EQ(TimeFormatWithoutZone(QString::fromUtf8(format)), QString::fromUtf8(expected)) << format;
}
