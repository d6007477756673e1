#pragma once
// The client's exit statuses, as --help and the manual page list them.
namespace cli {

inline constexpr int kDone = 0;
inline constexpr int kNotDone = 1;       // diff: different; write: not verified; a file not written ...
inline constexpr int kUsage = 2;         // also a set file refused, a trace file refused
inline constexpr int kPort = 3;          // cannot be opened, or lost
inline constexpr int kNoAnswer = 4;      // no login in time, no prompt, no reply
inline constexpr int kDamaged = 5;       // a damaged read-out refused
// 128 + the signal: 130 for Ctrl+C.
constexpr int InterruptedStatus(int signal) { return 128 + signal; }

}  // namespace cli
