// When reads and writes of the device layer give up, from the device's
// timeouts: one table over the cases that the timeouts tell apart.
#include <gtest/gtest.h>

#include "serial/IoDeadlines.h"

namespace {

using std::chrono::milliseconds;
constexpr long long kNone = -1;
constexpr long long kHundredDays = 100LL * 24 * 3600 * 1000;

struct Case {
  const char* what;
  TCommTimeouts timeouts;
  uint32_t n;
  bool atOnce, firstBytesEnd;
  long long lastByte;       // ms after the start when the latest byte came; kNone: none yet
  long long deadline;       // ms after the start; kNone: waits on
  long long writeLimit;     // kNone: no limit
};

const Case kCases[] = {
    {"the program's timeouts: reads never wait", {kMaxDword, 0, 0, 100, 1000}, 10, true, false, kNone, kNone, 2000},
    {"a total alone", {0, 0, 200, 0, 0}, 10, false, false, 30, 200, kNone},
    {"multiplier and constant", {0, 10, 100, 5, 0}, 5, false, false, kNone, 150, 25},
    {"an interval alone waits on until a byte has come", {50, 0, 0, 0, 7}, 10, false, false, kNone, kNone, 7},
    {"an interval after the latest byte", {50, 0, 0, 0, 0}, 10, false, false, 30, 80, kNone},
    {"the interval when it ends first", {50, 10, 100, 0, 0}, 5, false, false, 30, 80, kNone},
    {"the total when it ends first", {50, 10, 100, 0, 0}, 5, false, false, 120, 150, kNone},
    {"first bytes end it, or the constant", {kMaxDword, kMaxDword, 60000, 0, 0}, 10, false, true, 30, 60000, kNone},
    {"a constant of MAXDWORD is no first-bytes read", {kMaxDword, kMaxDword, kMaxDword, 0, 0}, 1, false, false,
     kNone, 2LL * kMaxDword, kNone},
    {"a constant of 0 neither", {kMaxDword, kMaxDword, 0, 0, 0}, 1, false, false, kNone,
     static_cast<long long>(kMaxDword), kNone},
    {"interval MAXDWORD with a total waits for all", {kMaxDword, 0, 100, 0, 0}, 10, false, false, 30, 100, kNone},
    {"no timeouts at all: waits for every byte", {0, 0, 0, 0, 0}, 10, false, false, 30, kNone, kNone},
    {"MAXDWORD x n is no overflow but no limit", {0, kMaxDword, kMaxDword, kMaxDword, kMaxDword}, 3, false, false,
     kNone, kHundredDays, kHundredDays},
};

TEST(IoDeadlines, TimeoutsGiveTheReadsEndAndTheWritesLimit) {
  const TIoClock::time_point start{milliseconds(1'000'000)};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const TReadLimits limits = ReadLimits(c.timeouts, c.n);
    EXPECT_EQ(limits.atOnce, c.atOnce);
    EXPECT_EQ(limits.firstBytesEnd, c.firstBytesEnd);
    // One byte of several ends only a read that never waits or that the
    // first bytes end; all of them end every read.
    EXPECT_EQ(limits.Done(1, c.n), c.n == 1 || c.atOnce || c.firstBytesEnd);
    EXPECT_TRUE(limits.Done(c.n, c.n));
    EXPECT_EQ(limits.Done(0, c.n), c.atOnce);

    std::optional<TIoClock::time_point> lastByte;
    if (c.lastByte != kNone) lastByte = start + milliseconds(c.lastByte);
    const auto deadline = ReadDeadline(limits, start, lastByte);
    EXPECT_EQ(deadline ? (*deadline - start) / milliseconds(1) : kNone, c.deadline);
    const auto write = WriteLimit(c.timeouts, c.n);
    EXPECT_EQ(write ? write->count() : kNone, c.writeLimit);
  }
}

}  // namespace
