#include "trace/TraceLine.h"

#include <cstdio>
#include <ctime>

namespace trace {

namespace {

std::string TimeText(const TTimeOfDay& at) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", at.hour, at.minute, at.second, at.millisecond);
  return text;
}

}  // namespace

TLocalMoment LocalMoment(std::chrono::system_clock::time_point at) {
  using namespace std::chrono;
  const auto sinceEpoch = at.time_since_epoch();
  const auto secs = duration_cast<seconds>(sinceEpoch);
  const std::time_t t = static_cast<std::time_t>(secs.count());
  std::tm local{};
  localtime_r(&t, &local);
  return {{local.tm_hour, local.tm_min, local.tm_sec,
           static_cast<int>(duration_cast<milliseconds>(sinceEpoch - secs).count())},
          {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, static_cast<int>(local.tm_gmtoff / 60)}};
}

std::string DataLine(const TTimeOfDay& at, TDirection direction, std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string line = TimeText(at);
  line += direction == TDirection::Tx ? " TX" : " RX";
  line.reserve(line.size() + bytes.size() * 4 + 4);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    line += ' ';
    line += kHex[b >> 4];
    line += kHex[b & 0x0F];
  }
  line += " |";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    line += b >= 0x20 && b < 0x7F ? c : '.';
  }
  line += "|\n";
  return line;
}

std::string CommentLine(const TTimeOfDay& at, std::string_view text) {
  std::string line = TimeText(at) + " # ";
  bool any = false;      // text written so far
  bool inBreak = false;  // a line break since the last character
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      inBreak = true;
      continue;
    }
    if (inBreak && any) line += " / ";
    inBreak = false;
    any = true;
    line += c;
  }
  line += '\n';
  return line;
}

std::string DateLine(const TTimeOfDay& at, const TLocalDate& date) {
  const int size = date.utcOffsetMinutes < 0 ? -date.utcOffsetMinutes : date.utcOffsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "date %04d-%02d-%02d, UTC offset %c%02d%02d", date.year, date.month, date.day,
                date.utcOffsetMinutes < 0 ? '-' : '+', size / 60, size % 60);
  return CommentLine(at, text);
}

}  // namespace trace
