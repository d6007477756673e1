#pragma once
// The lines of the line trace: one line for every write to the port and for
// every read from it, and comment lines for what happened around them.
//
//   14:03:07.512 TX 0D 65 |.e|
//   14:03:07.530 # port COM1 (/dev/ttyUSB0) opened
//
// A line starts with the local time of day with milliseconds. A data line
// goes on with TX (bytes the program wrote) or RX (bytes it read), each byte
// as two upper-case hex digits, separated by single spaces, and the same
// bytes between vertical bars, printable ASCII as itself and any other byte
// as ".". A comment line goes on with "#" and its text on one line: a line
// break in the text becomes " / ". Every line ends in "\n". Plain C++.
#include <chrono>
#include <string>
#include <string_view>

namespace trace {

struct TTimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The local time of day of a moment, to the millisecond below it.
TTimeOfDay LocalTimeOfDay(std::chrono::system_clock::time_point at);

enum class TDirection { Tx, Rx };

std::string DataLine(const TTimeOfDay& at, TDirection direction, std::string_view bytes);
std::string CommentLine(const TTimeOfDay& at, std::string_view text);

}  // namespace trace
