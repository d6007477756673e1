#pragma once
// The clock's exchanges with the receiver, over the command channel
// (link/Channel.h). A carriage return must bring the prompt "CMD>" first;
// "t" makes the receiver answer with its clock on the first line; "s" is
// followed at once by seven short fields, each followed by a wait of its own.
// All of them may throw the port's error, which ends them where it happens.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "receiver/ClockRules.h"

namespace clock_exchange {

inline constexpr std::string_view kPrompt = "CMD>";
inline constexpr int kPromptWaitMs = 1000;  // after the carriage return
inline constexpr int kReadWaitMs = 1000;    // after "t"
inline constexpr int kFieldWaitMs = 500;    // after each field of a write
inline constexpr int kFieldCount = 7;
// The seconds field, the last, goes out this long after "s": every field but
// the last is followed by its wait before the next.
inline constexpr int kSecondsFieldAfterMs = (kFieldCount - 1) * kFieldWaitMs;

using TSteadyTime = std::chrono::steady_clock::time_point;

struct TClockRead {
  TClockReading Reading;  // cut from the reply's first line
  TSteadyTime AskedAt;    // when "t" had gone out
};

// The carriage return and the prompt, then "t": the receiver's clock, or
// nothing when the prompt did not come (nothing more was sent then).
std::optional<TClockRead> ReadClock();

// How a clock write went.
enum class TClockWriteEnd {
  NoPrompt,  // the carriage return brought no prompt; nothing more went out
  Withheld,  // fields() gave nothing; nothing more went out
  Written,   // "s" and the seven fields went out
};
struct TClockWrite {
  TClockWriteEnd End = TClockWriteEnd::NoPrompt;
  TSteadyTime SecondsSent{};  // Written: when the seconds field had gone out
};

// The carriage return and the prompt; without it nothing more goes out.
// Otherwise fields() runs (it may wait, and gives the seven fields, or
// nothing to send nothing more), then "s" and at once the fields, each
// followed by its wait. Returns when the seconds field had gone out.
TClockWrite WriteClock(const std::function<std::optional<std::vector<std::string>>()>& fields);

}  // namespace clock_exchange
