#include "serial/IoDeadlines.h"

#include <algorithm>

namespace {

using std::chrono::milliseconds;

// MAXDWORD x n can exceed what the clock counts; anything beyond a hundred
// days is as good as no limit.
constexpr uint64_t kLongestMs = uint64_t{100} * 24 * 3600 * 1000;

milliseconds Total(uint32_t multiplier, uint32_t n, uint32_t constant) {
  return milliseconds(std::min<uint64_t>(uint64_t{multiplier} * n + constant, kLongestMs));
}

}  // namespace

TReadLimits ReadLimits(const TCommTimeouts& t, uint32_t n) {
  TReadLimits limits;
  const bool intervalMax = t.ReadIntervalTimeout == kMaxDword;
  limits.atOnce = intervalMax && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
  limits.firstBytesEnd = intervalMax && t.ReadTotalTimeoutMultiplier == kMaxDword &&
                         t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != kMaxDword;
  if (limits.firstBytesEnd)
    limits.total = milliseconds(t.ReadTotalTimeoutConstant);
  else if (t.ReadTotalTimeoutMultiplier || t.ReadTotalTimeoutConstant)
    limits.total = Total(t.ReadTotalTimeoutMultiplier, n, t.ReadTotalTimeoutConstant);
  if (!limits.firstBytesEnd && t.ReadIntervalTimeout != 0 && !intervalMax)
    limits.interval = milliseconds(t.ReadIntervalTimeout);
  return limits;
}

std::optional<TIoClock::time_point> ReadDeadline(const TReadLimits& limits, TIoClock::time_point start,
                                                 std::optional<TIoClock::time_point> lastByte) {
  std::optional<TIoClock::time_point> deadline;
  if (limits.total) deadline = start + *limits.total;
  if (limits.interval && lastByte) {
    const TIoClock::time_point silence = *lastByte + *limits.interval;
    if (!deadline || silence < *deadline) deadline = silence;
  }
  return deadline;
}

std::optional<std::chrono::milliseconds> WriteLimit(const TCommTimeouts& t, uint32_t n) {
  if (!t.WriteTotalTimeoutMultiplier && !t.WriteTotalTimeoutConstant) return std::nullopt;
  return Total(t.WriteTotalTimeoutMultiplier, n, t.WriteTotalTimeoutConstant);
}
