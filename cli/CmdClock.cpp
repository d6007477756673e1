// clock: the receiver's clock beside the computer's, and with --set-from-pc
// "Nastavit podle PC" with its read-back.
#include <QDateTime>
#include <chrono>
#include <cmath>

#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "convert/IntConversion.h"
#include "receiver/ClockExchange.h"
#include "receiver/ClockWrite.h"

namespace cli {

namespace {

const char* const kReadFailed = "Chyba čtení hodin přijímače";

// "3 07.12.2026 23:29:09", as the receiver's clock is shown.
std::string PcClockText(const QDateTime& at) {
  return std::to_string(at.date().dayOfWeek() % 7) + " " +
         at.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")).toStdString();
}

// The receiver's clock as a moment of the computer's local time; nothing
// when its fields are no clock (a reply cut short or garbled).
std::optional<QDateTime> ReceiverMoment(const TClockReading& reading) {
  try {
    if (!ClockInRange(reading)) return std::nullopt;
  } catch (const EConvertError&) {
    return std::nullopt;
  }
  const QDateTime at = QDateTime::fromString(QString::fromStdString(reading.Dat + " " + reading.Tim),
                                             QStringLiteral("dd.MM.yyyy HH:mm:ss"));
  if (!at.isValid()) return std::nullopt;
  return at;
}

}  // namespace

int RunClock(TConnection& connection) {
  TOutput& out = connection.Out();
  out.Info("Čtení hodin přijímače…");
  const std::optional<clock_exchange::TClockRead> read = clock_exchange::ReadClock();
  if (!read) {
    out.Error(std::string(kReadFailed) + ": přijímač neodpověděl");
    return kNoAnswer;
  }
  // The computer's clock at the moment "t" went out, when the receiver read
  // its own.
  const auto since = std::chrono::steady_clock::now() - read->AskedAt;
  const QDateTime pc =
      QDateTime::currentDateTime().addMSecs(-std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  const std::optional<QDateTime> receiver = ReceiverMoment(read->Reading);
  if (!receiver) {
    out.Error(std::string(kReadFailed) + ": přijímač poslal „" + clock_exchange::ClockText(read->Reading) + "“");
    return kNoAnswer;
  }
  // The receiver shows whole seconds: its clock stands half a second past
  // them on average.
  const long long differenceMs = receiver->toMSecsSinceEpoch() + 500 - pc.toMSecsSinceEpoch();
  const int difference = static_cast<int>(std::llround(static_cast<double>(differenceMs) / 1000.0));
  const std::string receiverText = clock_exchange::ClockText(read->Reading);
  const std::string pcText = PcClockText(pc);
  if (!out.Json())
    out.Data("přijímač " + receiverText + "\nPC " + pcText + "\nrozdíl " + std::to_string(difference) + " s\n");

  const char* result = "ok";
  int status = kDone;
  std::exception_ptr error;
  if (connection.Options().SetFromPc) {
    out.Info("Zápis hodin přijímače podle PC…");
    const clock_exchange::TClockWriteResult write = clock_exchange::WritePcClock(
        [] { return QDateTime::currentDateTime(); }, read->Reading,
        [&](const TClockReading& planned) { out.Info("Zapisuje se: " + clock_exchange::ClockText(planned)); },
        [&] { out.Info("Ověření zápisu…"); });
    using writelog::TOutcome;
    if (write.Withheld) {
      out.Error(*write.Withheld);
      result = "stopped";
      status = kNotDone;
    } else if (write.Outcome == TOutcome::Verified) {
      out.Info("Hodiny přijímače zapsány a ověřeny");
      result = "verified";
    } else if (write.Outcome == TOutcome::NotVerified) {
      out.Info("Zápis hodin se nepodařilo ověřit");
      out.Info(write.Why);
      result = "not-verified";
      status = kNotDone;
    } else {
      if (!write.Error) out.Error(std::string(params::kNoAnswer) + ": hodiny nebyly zapsány");
      out.Info("Chyba zápisu hodin přijímače");
      result = "stopped";
      status = kNoAnswer;
    }
    if (write.Error) status = connection.Report(write.Error);
  }
  if (out.Json()) {
    TJson object = connection.ResultObject(result);
    object.Add("receiver", receiverText).Add("pc", pcText).Add("difference_s", difference);
    out.JsonLine(object);
  }
  return status;
}

}  // namespace cli
