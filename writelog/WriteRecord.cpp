#include "writelog/WriteRecord.h"

#include <cstdio>
#include <ctime>

namespace writelog {

std::string_view OutcomeText(TOutcome outcome) {
  switch (outcome) {
    case TOutcome::Verified: return "ověřeno";
    case TOutcome::NotVerified: return "neověřeno";
    case TOutcome::Stopped: return "zastaveno";
    case TOutcome::Sent: return "odesláno";
  }
  return "";
}

namespace {

// "2026-10-25 02:30:00 +0200": with the offset from UTC, so that the hour
// that repeats when the clocks go back is told apart.
std::string LocalDateTime(std::chrono::system_clock::time_point at) {
  const std::time_t t = std::chrono::system_clock::to_time_t(at);
  std::tm local{};
  localtime_r(&t, &local);
  const long offset = local.tm_gmtoff / 60;  // minutes east of UTC
  const long size = offset < 0 ? -offset : offset;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %c%02ld%02ld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+',
                size / 60, size % 60);
  return text;
}

// One line of the record, whatever the text holds.
std::string OneLine(std::string_view text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += text[i] == '\n' || text[i] == '\r' ? std::string(" / ") : std::string(1, text[i]);
  }
  return line;
}

}  // namespace

std::string RecordText(const TRecord& record) {
  const std::string serial = record.Serial ? std::to_string(*record.Serial) : "neznámé";
  std::string text = LocalDateTime(record.At) + "  " + OneLine(record.Kind) + "  " + OneLine(record.Port) +
                     "  výrobní číslo " + serial + "  " + std::string(OutcomeText(record.Outcome)) + "\n";
  for (const std::string& detail : record.Details) text += "  " + OneLine(detail) + "\n";
  return text + "\n";
}

std::string ChangeLine(std::string_view field, int before, int after) {
  return std::string(field) + ": " + std::to_string(before) + " → " + std::to_string(after);
}

}  // namespace writelog
