#pragma once
// The clock's writes as the clock dialog and the command-line client both run
// them: the fields written ("Zapsat"), or the computer's clock at the moment
// the seconds field goes out ("Nastavit podle PC"), then the clock read back,
// the outcome and its record in the write log.
#include <QDateTime>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "receiver/ClockExchange.h"
#include "receiver/ClockRules.h"
#include "writelog/WriteRecord.h"

namespace clock_exchange {

struct TClockWriteResult {
  TClockWriteEnd End = TClockWriteEnd::NoPrompt;  // Withheld: nothing went out after the carriage return
  writelog::TOutcome Outcome = writelog::TOutcome::Stopped;
  TClockReading Written;  // what went out, as the dialog's fields show it (empty before it was taken)
  // NotVerified: what the read-back found, as the operator reads it ("Přijímač
  // ukazuje: 3 07.12.2026 23:29:07", "Přijímač neodpověděl").
  std::string Why;
  std::optional<std::string> Withheld;  // "Nastavit podle PC": why the computer's clock was not written
  // What ended it early (a port error, a stop), for the caller's error
  // display; null otherwise.
  std::exception_ptr Error;
};

// Day of week, date and time as the dialog shows them: "3 07.12.2026 23:29:07".
std::string ClockText(const TClockReading& reading);

// The fields' write: the carriage return and the prompt, "s" and the seven
// fields of written, then the clock read back. before is the receiver's clock
// as it was read before (for the record). onVerifying runs as the read-back
// starts. Nothing is thrown; the outcome is recorded in the write log.
TClockWriteResult WriteFields(const TClockReading& written, const TClockReading& before,
                              const std::function<void()>& onVerifying);

// "Nastavit podle PC": the computer's clock (clock()) is refused before
// anything goes out when its date lies outside what the receiver takes (the
// result is then Withheld with the refusal, End NoPrompt and nothing sent);
// after the prompt it is planned for the moment the seconds field goes out
// ("s" held back up to a second), checked again, and onPlanned sees what will
// go out. Then as WriteFields.
TClockWriteResult WritePcClock(const std::function<QDateTime()>& clock, const TClockReading& before,
                               const std::function<void(const TClockReading&)>& onPlanned,
                               const std::function<void()>& onVerifying);

}  // namespace clock_exchange
