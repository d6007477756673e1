#pragma once
// The receiver's clock as the dialog exchanges it: the cut of the reply to
// "t", the seven strings sent after "s", and the range checks of the three
// fields. Plain C++ on the fields' texts.
//
// The reply to "t" is read from its first line by position from the line's
// first colon (the one before the day of week): " 3 07.12.26 23:29:07" after
// it gives day of week 3, date 07.12.2026 and time 23:29:07. Nothing in the
// reply is tested; a short line gives short or empty pieces, a line without
// a colon is cut as if the colon stood before its first character.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TClockReading {
  std::string Dvt;  // the day-of-week character
  std::string Dat;  // day "." month ".20" year
  std::string Tim;  // hours ":" minutes ":" seconds
  bool operator==(const TClockReading&) const = default;
};

TClockReading CutClockReply(std::string_view firstLine);

// What follows "s", in order: the whole day-of-week text unchanged, the day,
// the month, the year's last two digits, hours, minutes, seconds, taken by
// position from "dd.mm.rrrr" and "hh:mm:ss".
std::vector<std::string> ClockWriteFields(std::string_view dvt, std::string_view dat, std::string_view tim);

// The range checks. Every part of the field is converted before the verdict:
// a part that is not an integer throws EConvertError (the first such part);
// otherwise the result tells whether every part lies in its range.
//   day of week: the whole text, 0..6
//   date: day (places 1-2) 1..31 and no later than the month's last day
//         (leap years counted), month (4-5) 1..12, year (7-10) 2000..2099
//   time: hours (1-2) 0..23, minutes (4-5) 0..59, seconds (7-8) 0..59
// The receiver keeps the year as two digits and reads them back as 20yy, so
// 2100 could never be verified; and a date that does not exist (31.02.) it
// would roll on into the next month.
inline constexpr int kFirstYear = 2000;
inline constexpr int kLastYear = 2099;
bool DayOfWeekInRange(std::string_view dvt);
bool DateInRange(std::string_view dat);
bool TimeInRange(std::string_view tim);
// All three fields, as a write checks them before anything goes out.
bool ClockInRange(const TClockReading& clock);

// Whether the receiver's clock holds what was written: its reading has the
// day of week the written one has come to by then, and lies within 2 s of the
// written time plus elapsedMs, the time from the seconds field going out to
// the receiver being asked. The written fields are the dialog's
// ("3", "05.03.2031", "08:07:06"). Either side that ClockInRange refuses (no
// clock at all, a date that does not exist) does not hold.
inline constexpr long long kClockToleranceMs = 2000;
bool ClockHolds(const TClockReading& written, const TClockReading& read, long long elapsedMs);
