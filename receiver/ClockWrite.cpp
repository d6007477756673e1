#include "receiver/ClockWrite.h"

#include "link/Channel.h"
#include "link/Cp1250.h"
#include "receiver/PcClock.h"
#include "serial/ComPort.h"
#include "writelog/WriteLog.h"

namespace clock_exchange {

namespace {

const char* const kNoAnswer = "Přijímač neodpověděl";

// The write's record: the receiver's clock before, what went out (or was to
// go out), the outcome and what a read-back that did not hold found.
void RecordWrite(const TClockReading& before, const TClockWriteResult& result) {
  writelog::TRecord record =
      writelog::RecordOfWrite("hodiny", Channel().OpenedPort(), Channel().ReceiverSerial(), result.Outcome);
  record.Details.push_back("před zápisem: " + ClockText(before));
  // "Nastavit podle PC" without the prompt had not yet taken the time.
  if (!result.Written.Dvt.empty())
    record.Details.push_back((result.Outcome == writelog::TOutcome::Stopped ? "k zápisu: " : "zapsáno: ") +
                             ClockText(result.Written));
  if (!result.Why.empty()) record.Details.push_back("po zápisu: " + result.Why);
  try {
    writelog::Append(record);
  } catch (...) {
    ShowApplicationError(std::current_exception());
  }
}

// The write with its fields from fields() (after the prompt; nothing to
// withhold them), its read-back and its record.
TClockWriteResult Write(const TClockReading& before, TClockWriteResult result,
                        const std::function<std::optional<std::vector<std::string>>(TClockWriteResult&)>& fields,
                        const std::function<void()>& onVerifying) {
  using writelog::TOutcome;
  TClockWrite write;
  try {
    write = WriteClock([&] { return fields(result); });
  } catch (...) {
    result.Error = std::current_exception();
    RecordWrite(before, result);
    return result;
  }
  result.End = write.End;
  if (write.End == TClockWriteEnd::Withheld) return result;  // only the carriage return went out
  if (write.End == TClockWriteEnd::NoPrompt) {
    RecordWrite(before, result);
    return result;
  }
  // Written is not yet taken: the receiver's clock is read back.
  if (onVerifying) onVerifying();
  result.Outcome = TOutcome::NotVerified;
  std::optional<TClockRead> read;
  try {
    read = ReadClock();
  } catch (...) {
    result.Error = std::current_exception();
  }
  if (!read) {
    result.Why = kNoAnswer;
  } else {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(read->AskedAt - write.SecondsSent);
    if (ClockHolds(result.Written, read->Reading, elapsed.count())) result.Outcome = TOutcome::Verified;
    else result.Why = "Přijímač ukazuje: " + ClockText(read->Reading);
  }
  RecordWrite(before, result);
  return result;
}

}  // namespace

std::string ClockText(const TClockReading& reading) {
  return (FromReceiver(reading.Dvt) + ' ' + FromReceiver(reading.Dat) + ' ' + FromReceiver(reading.Tim)).toStdString();
}

TClockWriteResult WriteFields(const TClockReading& written, const TClockReading& before,
                              const std::function<void()>& onVerifying) {
  TClockWriteResult result;
  result.Written = written;
  const std::vector<std::string> fields = ClockWriteFields(written.Dvt, written.Dat, written.Tim);
  return Write(before, result, [&](TClockWriteResult&) { return std::optional(fields); }, onVerifying);
}

TClockWriteResult WritePcClock(const std::function<QDateTime()>& clock, const TClockReading& before,
                               const std::function<void(const TClockReading&)>& onPlanned,
                               const std::function<void()>& onVerifying) {
  TClockWriteResult refused;
  // The computer's clock passes the checks the fields pass, before anything
  // goes out.
  if ((refused.Withheld = PcClockRefusal(PlanPcClockWrite(clock(), kSecondsFieldAfterMs)))) return refused;
  return Write(before, TClockWriteResult{},
               [&](TClockWriteResult& result) -> std::optional<std::vector<std::string>> {
                 // Held back until the seconds field will go out just after
                 // the second it carries; every field is of that moment,
                 // which is checked again: the computer's clock may have been
                 // set or turned past 2099 meanwhile.
                 const TPcClockWrite plan = PlanPcClockWrite(clock(), kSecondsFieldAfterMs);
                 if ((result.Withheld = PcClockRefusal(plan))) return std::nullopt;
                 Channel().Sleep(plan.HoldMs);
                 result.Written = plan.Shown;
                 if (onPlanned) onPlanned(result.Written);
                 return plan.Fields;
               },
               onVerifying);
}

}  // namespace clock_exchange
