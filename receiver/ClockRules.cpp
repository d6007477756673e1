#include "receiver/ClockRules.h"

#include <chrono>
#include <cstdlib>
#include <initializer_list>

#include "convert/IntConversion.h"

namespace {

// count characters from the 1-based place, as far as the text reaches.
std::string Copy(std::string_view s, std::size_t place, std::size_t count) {
  if (place < 1 || place > s.size()) return {};
  return std::string(s.substr(place - 1, count));
}

struct TPart {
  std::size_t place, count;
  int min, max;
};

bool PartsInRange(std::string_view text, std::initializer_list<TPart> parts) {
  bool inRange = true;
  for (const TPart& p : parts) {
    const int v = StrToInt(Copy(text, p.place, p.count));
    inRange = inRange && v >= p.min && v <= p.max;
  }
  return inRange;
}

// The fields as a moment: the day of week and the seconds since 1970 of the
// date and time taken as they stand (no time zone: both sides are the
// receiver's local time).
struct TMoment {
  int dayOfWeek;
  long long days;
  long long seconds;
};

std::optional<TMoment> Moment(const TClockReading& r) {
  try {
    if (r.Dat.size() != 10 || r.Tim.size() != 8 || !ClockInRange(r)) return std::nullopt;
    const int dow = StrToInt(r.Dvt);
    const int day = StrToInt(Copy(r.Dat, 1, 2)), month = StrToInt(Copy(r.Dat, 4, 2)),
              year = StrToInt(Copy(r.Dat, 7, 4));
    const int h = StrToInt(Copy(r.Tim, 1, 2)), m = StrToInt(Copy(r.Tim, 4, 2)), sec = StrToInt(Copy(r.Tim, 7, 2));
    using namespace std::chrono;
    const sys_days date{year_month_day(std::chrono::year(year), std::chrono::month(month), std::chrono::day(day))};
    const long long d = date.time_since_epoch().count();
    return TMoment{dow, d, d * 86400 + h * 3600 + m * 60 + sec};
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

long long FloorMod(long long a, long long b) { return ((a % b) + b) % b; }

}  // namespace

bool ClockHolds(const TClockReading& written, const TClockReading& read, long long elapsedMs) {
  const std::optional<TMoment> w = Moment(written), r = Moment(read);
  if (!w || !r) return false;
  if (r->dayOfWeek != FloorMod(w->dayOfWeek + (r->days - w->days), 7)) return false;
  const long long expectedMs = w->seconds * 1000 + elapsedMs;
  return std::llabs(r->seconds * 1000 - expectedMs) <= kClockToleranceMs;
}

TClockReading CutClockReply(std::string_view firstLine) {
  const std::size_t colon = firstLine.find(':');
  const std::size_t p = colon == std::string_view::npos ? 0 : colon + 1;
  const auto at = [&](std::size_t offset, std::size_t count) { return Copy(firstLine, p + offset, count); };
  TClockReading r;
  r.Dvt = at(2, 1);
  r.Dat = at(4, 2) + "." + at(7, 2) + ".20" + at(10, 2);
  r.Tim = at(13, 2) + ":" + at(16, 2) + ":" + at(19, 2);
  return r;
}

std::vector<std::string> ClockWriteFields(std::string_view dvt, std::string_view dat, std::string_view tim) {
  return {std::string(dvt), Copy(dat, 1, 2), Copy(dat, 4, 2), Copy(dat, 9, 2),
          Copy(tim, 1, 2),  Copy(tim, 4, 2), Copy(tim, 7, 2)};
}

bool DayOfWeekInRange(std::string_view dvt) {
  const int v = StrToInt(dvt);
  return v >= 0 && v <= 6;
}

bool DateInRange(std::string_view dat) {
  if (!PartsInRange(dat, {{1, 2, 1, 31}, {4, 2, 1, 12}, {7, 4, kFirstYear, kLastYear}})) return false;
  // Every part is a number in its range by now.
  using namespace std::chrono;
  const year_month_day date(std::chrono::year(StrToInt(Copy(dat, 7, 4))),
                            std::chrono::month(static_cast<unsigned>(StrToInt(Copy(dat, 4, 2)))),
                            std::chrono::day(static_cast<unsigned>(StrToInt(Copy(dat, 1, 2)))));
  return date.ok();
}

bool TimeInRange(std::string_view tim) { return PartsInRange(tim, {{1, 2, 0, 23}, {4, 2, 0, 59}, {7, 2, 0, 59}}); }

bool ClockInRange(const TClockReading& clock) {
  // Each check converts its parts first; the first that is no number throws.
  const bool dow = DayOfWeekInRange(clock.Dvt);
  const bool date = DateInRange(clock.Dat);
  return TimeInRange(clock.Tim) && dow && date;
}
