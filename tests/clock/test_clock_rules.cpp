// The clock's rules on their own: the cut of the reply to "t", the strings
// a write sends, the range checks, and the computer clock's texts.
#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

#include "clock/ClockRules.h"
#include "clock/PcClock.h"
#include "convert/IntConversion.h"

TEST(ClockReply, IsCutByPlaceFromTheFirstColonOfTheLine) {
  struct Case {
    const char* line;
    TClockReading expected;
  };
  const Case cases[] = {
      {"HODINY: 3 07.12.26 23:29:07", {"3", "07.12.2026", "23:29:07"}},
      // An earlier colon moves every cut with it.
      {"A:HODINY: 3 07.12.26 23:29:07", {"O", "IN.: .20 0", ".1:.2: 2"}},
      // Without a colon the cuts count from the start of the line.
      {"abcdefghijklmnopqrstuvwxyz", {"b", "de.gh.20jk", "mn:pq:st"}},
      // Short lines give short or empty pieces.
      {"HODINY: 3 07.1", {"3", "07.1.20", "::"}},
      {"HODINY: 3 07.12.26 23:2", {"3", "07.12.2026", "23:2:"}},
      {"X:", {"", "..20", "::"}},
      {"", {"", "..20", "::"}},
  };
  for (const Case& c : cases) EXPECT_EQ(CutClockReply(c.line), c.expected) << '"' << c.line << '"';
}

TEST(ClockWrite, SendsTheDayOfWeekWholeAndTwoPlacesOfEveryOtherPart) {
  struct Case {
    const char *dvt, *dat, *tim;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"3", "05.03.2031", "08:07:06", {"3", "05", "03", "31", "08", "07", "06"}},
      {"06", "31.02.2030", "23:59:59", {"06", "31", "02", "30", "23", "59", "59"}},
      {"0", " 1. 1.2100", " 0:00:00", {"0", " 1", " 1", "00", " 0", "00", "00"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ClockWriteFields(c.dvt, c.dat, c.tim), c.expected) << c.dat;
}

TEST(ClockFieldChecks, EveryPartIsConvertedThenRangeChecked) {
  enum Verdict { kPass, kRefuse, kNotInteger };
  struct Case {
    bool (*check)(std::string_view);
    const char* text;
    Verdict verdict;
    const char* notInteger = "";  // the part the conversion error names
  };
  const Case cases[] = {
      {DayOfWeekInRange, "0", kPass},
      {DayOfWeekInRange, "6", kPass},
      {DayOfWeekInRange, "06", kPass},
      {DayOfWeekInRange, "7", kRefuse},
      {DayOfWeekInRange, "-1", kRefuse},
      {DayOfWeekInRange, "", kNotInteger, ""},
      {DayOfWeekInRange, "Dvt", kNotInteger, "Dvt"},
      {DateInRange, "01.01.2000", kPass},
      {DateInRange, "31.02.2030", kPass},
      {DateInRange, "31.12.2100", kPass},
      {DateInRange, " 5. 3.2031", kPass},
      {DateInRange, "00.01.2030", kRefuse},
      {DateInRange, "32.01.2030", kRefuse},
      {DateInRange, "01.00.2030", kRefuse},
      {DateInRange, "01.13.2030", kRefuse},
      {DateInRange, "01.01.1999", kRefuse},
      {DateInRange, "01.01.2101", kRefuse},
      {DateInRange, "  .01.2030", kNotInteger, "  "},
      {DateInRange, "5 .03.2031", kNotInteger, "5 "},
      // A later part that is not a number wins over an earlier one out of range.
      {DateInRange, "32.xx.2030", kNotInteger, "xx"},
      {TimeInRange, "00:00:00", kPass},
      {TimeInRange, "23:59:59", kPass},
      {TimeInRange, " 8:07:06", kPass},
      {TimeInRange, "24:00:00", kRefuse},
      {TimeInRange, "00:60:00", kRefuse},
      {TimeInRange, "00:00:60", kRefuse},
      {TimeInRange, "24:00:  ", kNotInteger, "  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    try {
      const bool inRange = c.check(c.text);
      EXPECT_NE(c.verdict, kNotInteger);
      EXPECT_EQ(inRange, c.verdict == kPass);
    } catch (const EConvertError& e) {
      EXPECT_EQ(c.verdict, kNotInteger);
      EXPECT_EQ(std::string(e.what()), std::string("'") + c.notInteger + "' is not a valid integer value");
    }
  }
}

TEST(PcClock, TimeFormatLosesTheZoneNameOnly) {
  struct Case {
    const char *format, *expected;
  };
  const Case cases[] = {
      {"H:mm:ss t", "H:mm:ss"},
      {"h:mm:ss AP t", "h:mm:ss AP"},
      {"t HH:mm:ss", "HH:mm:ss"},
      {"H:mm:ss (t)", "H:mm:ss"},
      {"HH 'h' mm 'min' ss 's' t", "HH 'h' mm 'min' ss 's'"},
      {"HH:mm:ss tttt", "HH:mm:ss"},
      {"HH:mm:ss", "HH:mm:ss"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TimeFormatWithoutZone(QString::fromUtf8(c.format)), QString::fromUtf8(c.expected)) << c.format;
}

TEST(PcClock, ShowsSundayAsZeroAndTheLocalesDateAndTimeWithSeconds) {
  struct Case {
    const char* locale;
    QDateTime now;
    const char *dow, *date, *time;
  };
  const QDateTime sunday(QDate(2024, 6, 2), QTime(18, 3, 2, 900));
  const QDateTime saturday(QDate(2024, 6, 8), QTime(6, 3, 2));
  const Case cases[] = {
      {"cs_CZ", sunday, "0", "02.06.24", "18:03:02"},
      {"cs_CZ", saturday, "6", "08.06.24", "6:03:02"},
      {"en_US", sunday, "0", "6/2/24", "6:03:02 PM"},
      {"de_DE", saturday, "6", "08.06.24", "06:03:02"},
  };
  for (const Case& c : cases) {
    const TPcClockTexts t = PcClockTexts(c.now, QLocale(QString::fromUtf8(c.locale)));
    EXPECT_EQ(t.Dow, QString::fromUtf8(c.dow)) << c.locale;
    EXPECT_EQ(t.Date, QString::fromUtf8(c.date)) << c.locale;
    EXPECT_EQ(t.Time, QString::fromUtf8(c.time)) << c.locale;
  }
}
