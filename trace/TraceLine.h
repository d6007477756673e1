#pragma once
// The lines of the line trace: one line for every write to the port and for
// every read from it, and comment lines for what happened around them.
//
//   14:03:07.500 # date 2026-10-25, UTC offset +0200
//   14:03:07.512 TX 0D 65 |.e|
//   14:03:07.530 # port COM1 (/dev/ttyUSB0) opened
//
// A line starts with the local time of day with milliseconds. A data line
// goes on with TX (bytes the program wrote) or RX (bytes it read), each byte
// as two upper-case hex digits, separated by single spaces, and the same
// bytes between vertical bars, printable ASCII as itself and any other byte
// as ".". A comment line goes on with "#" and its text on one line: a line
// break in the text becomes " / ". Every line ends in "\n". The date and
// the offset from UTC of the times are in a date line, a comment that the
// file writes first and again whenever either changes (midnight, the clocks
// going forward or back). Plain C++.
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

struct TLocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
  int utcOffsetMinutes = 0;  // east of UTC
  bool operator==(const TLocalDate&) const = default;
};

struct TLocalMoment {
  TTimeOfDay time;
  TLocalDate date;
};

// The local time of day (to the millisecond below it), date and offset
// from UTC of a moment.
TLocalMoment LocalMoment(std::chrono::system_clock::time_point at);

enum class TDirection { Tx, Rx };

std::string DataLine(const TTimeOfDay& at, TDirection direction, std::string_view bytes);
std::string CommentLine(const TTimeOfDay& at, std::string_view text);
// "14:03:07.500 # date 2026-10-25, UTC offset +0200".
std::string DateLine(const TTimeOfDay& at, const TLocalDate& date);

}  // namespace trace
