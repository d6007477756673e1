// Whether the receiver's clock holds what was written, and what "Nastavit
// podle PC" writes for the computer's clock.
#include <QDateTime>

#include <gtest/gtest.h>

#include "receiver/ClockRules.h"
#include "receiver/PcClock.h"

TEST(ClockVerify, TheReadingMustBeTheWrittenTimeMovedOnByTheElapsedTimeWithin2s) {
  struct Case {
    const char* what;
    TClockReading written, read;
    long long elapsedMs;
    bool holds;
  };
  const TClockReading w{"3", "05.03.2031", "08:07:06"};
  const Case cases[] = {
      {"read 1.5 s later, showing one more second", w, {"3", "05.03.2031", "08:07:07"}, 1500, true},
      {"the clock 2 s ahead of the estimate", w, {"3", "05.03.2031", "08:07:09"}, 1000, true},
      {"3 s ahead", w, {"3", "05.03.2031", "08:07:10"}, 1000, false},
      {"the clock behind: the write's old time", w, {"3", "05.03.2031", "08:07:03"}, 1500, false},
      {"an hour later (a misread hours field)", w, {"3", "05.03.2031", "09:07:07"}, 1500, false},
      {"another day of week", w, {"4", "05.03.2031", "08:07:07"}, 1500, false},
      {"another year", w, {"3", "05.03.2030", "08:07:07"}, 1500, false},
      {"over midnight the day of week moves on",
       {"6", "31.12.2030", "23:59:59"}, {"0", "01.01.2031", "00:00:01"}, 1500, true},
      {"over midnight with the old day of week",
       {"6", "31.12.2030", "23:59:59"}, {"6", "01.01.2031", "00:00:01"}, 1500, false},
      // A date that does not exist is no clock, on either side: the
      // receiver would roll 31.02. on to 03.03.
      {"an impossible date written",
       {"1", "31.02.2030", "12:00:00"}, {"1", "03.03.2030", "12:00:01"}, 1500, false},
      {"an impossible date read back",
       {"1", "03.03.2030", "12:00:00"}, {"1", "31.02.2030", "12:00:01"}, 1500, false},
      {"a leap day", {"4", "29.02.2024", "12:00:00"}, {"4", "29.02.2024", "12:00:01"}, 1500, true},
      {"2100 goes out as 00 and comes back as 2000",
       {"5", "01.01.2100", "12:00:00"}, {"5", "01.01.2000", "12:00:01"}, 1500, false},
      {"a reading that is no clock", w, {"", "..20", "::"}, 1500, false},
  };
  for (const Case& c : cases) EXPECT_EQ(ClockHolds(c.written, c.read, c.elapsedMs), c.holds) << c.what;
}

// The fields are all of the first whole second the seconds field can reach,
// 3000 ms after "s"; "s" waits for it at most 999 ms.
TEST(PcClockWrite, EveryFieldIsOfTheSecondTheSecondsFieldArrivesIn) {
  struct Case {
    QDateTime now;
    int holdMs;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {QDateTime(QDate(2026, 12, 9), QTime(14, 3, 7, 512)), 488, {"3", "09", "12", "26", "14", "03", "11"}},
      {QDateTime(QDate(2026, 12, 9), QTime(14, 3, 7, 0)), 0, {"3", "09", "12", "26", "14", "03", "10"}},
      {QDateTime(QDate(2026, 12, 9), QTime(14, 3, 7, 1)), 999, {"3", "09", "12", "26", "14", "03", "11"}},
      // A minute, an hour, a day and a year turn during the write: all of
      // them for the moment the seconds field goes out.
      {QDateTime(QDate(2030, 12, 31), QTime(23, 59, 57, 400)), 600, {"3", "01", "01", "31", "00", "00", "01"}},
      {QDateTime(QDate(2026, 12, 12), QTime(8, 59, 56, 999)), 1, {"6", "12", "12", "26", "09", "00", "00"}},
  };
  for (const Case& c : cases) {
    const TPcClockWrite w = PlanPcClockWrite(c.now, 3000);
    EXPECT_EQ(w.HoldMs, c.holdMs) << c.now.toString(Qt::ISODateWithMs).toStdString();
    EXPECT_EQ(w.Fields, c.fields) << c.now.toString(Qt::ISODateWithMs).toStdString();
    EXPECT_EQ(w.At.toMSecsSinceEpoch(), c.now.toMSecsSinceEpoch() + 3000 + c.holdMs);
    EXPECT_EQ(w.At.time().msec(), 0);
  }
}
