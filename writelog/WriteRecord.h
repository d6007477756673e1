#pragma once
// One record of the write log: what was written to which receiver, and what
// came of it. Plain C++.
//
//   2026-05-03 14:22:05 +0200  parametry  COM2  výrobní číslo 4660  ověřeno
//     Mrtvý čas: 180 → 120
//     Adresa (5): 0 → 612345
//
// A header line: the local date and time with its offset from UTC, what was
// written ("parametry", "hodiny", or "nulování monitoru" for the monitor's
// clear), the COM name, the receiver's serial
// number ("výrobní číslo neznámé" when no read-out has given it) and the
// outcome, two spaces apart; then the details, each on a line of its own
// indented by two spaces; then a blank line. A line break inside a detail
// becomes " / ".
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace writelog {

enum class TOutcome {
  Verified,     // "ověřeno": the receiver, read back, holds what was written
  NotVerified,  // "neověřeno": written whole, but the read-back differed or got no answer
  Stopped,      // "zastaveno": the write ended before it was complete
  Sent,         // "odesláno": a command whose effect the receiver does not show (the monitor's clear)
};
std::string_view OutcomeText(TOutcome outcome);

struct TRecord {
  std::chrono::system_clock::time_point At;
  std::string Kind;  // "parametry", "hodiny", "nulování monitoru"
  std::string Port;  // "COM1"
  std::optional<int> Serial;
  TOutcome Outcome = TOutcome::Stopped;
  std::vector<std::string> Details;  // UTF-8
};

// The record's text, the date and time in the local time zone.
std::string RecordText(const TRecord& record);

// A detail line of a field that changed: "Mrtvý čas: 180 → 120".
std::string ChangeLine(std::string_view field, int before, int after);

}  // namespace writelog
