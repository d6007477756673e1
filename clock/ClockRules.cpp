#include "clock/ClockRules.h"

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

}  // namespace

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
  return PartsInRange(dat, {{1, 2, 1, 31}, {4, 2, 1, 12}, {7, 4, 2000, 2100}});
}

bool TimeInRange(std::string_view tim) { return PartsInRange(tim, {{1, 2, 0, 23}, {4, 2, 0, 59}, {7, 2, 0, 59}}); }
