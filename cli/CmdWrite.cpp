// write: a set file into one receiver, or with --each into a fleet of them
// on one port, one reset each. Every receiver is read first, its set saved
// as a backup, then written with the dialog's bytes and pacing and read
// back; a receiver that holds the set already is left alone.
#include <algorithm>
#include <vector>

#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "link/Channel.h"
#include "link/Login.h"
#include "receiver/SetCompare.h"
#include "receiver/SetWrite.h"
#include "writelog/WriteRecord.h"

namespace cli {

namespace {

const char* const kVerified = "Parametry zapsány a ověřeny";
const char* const kNotVerified = "Zápis parametrů se nepodařilo ověřit";
const char* const kStopped = "Zápis parametrů zastaven";

// How one receiver's write ended.
enum class TEnd {
  Verified,
  Unchanged,     // the receiver held the set: nothing written
  NotVerified,   // written whole, the read-back did not show it
  Stopped,       // the frame not sent whole (or not at all after the read-out)
  Damaged,       // a damaged read-out refused
  NoAnswer,      // no reply to the read-out
  Skipped,       // --each: written already in this run
};

struct TReceiver {
  std::optional<int> Serial;
  TEnd End = TEnd::Stopped;
  int Status = kDone;  // the exit status of a write of this receiver alone
  bool EndsRun = false;  // --each: a port lost, a stop, a backup that cannot be saved
  // It holds the set, or a frame went to it (whole or not): --each does not
  // take it again in this run.
  bool Written = false;
};

const char* ResultName(TEnd end) {
  switch (end) {
    case TEnd::Verified: return "verified";
    case TEnd::Unchanged: return "unchanged";
    case TEnd::NotVerified: return "not-verified";
    case TEnd::Damaged: return "damaged";
    case TEnd::Stopped:
    case TEnd::NoAnswer:
    case TEnd::Skipped: break;
  }
  return "stopped";
}

// The summary's words for an outcome.
const char* OutcomeText(TEnd end) {
  switch (end) {
    case TEnd::Verified: return "ověřeno";
    case TEnd::Unchanged: return "beze změny";
    case TEnd::NotVerified: return "neověřeno";
    case TEnd::Damaged: return "poškozená odpověď";
    case TEnd::NoAnswer: return "neodpověděl";
    case TEnd::Stopped:
    case TEnd::Skipped: break;
  }
  return "zastaveno";
}

bool Done(TEnd end) { return end == TEnd::Verified || end == TEnd::Unchanged; }

// The fields the write changes, "Mrtvý čas: 180 → 99", as "Načíst sadu…"
// marks them; what is no field of the file (the operator code of the
// login) by the bytes the frame changes.
std::vector<std::string> ChangeLines(const params::TValues& file, const TParamImage& receiver,
                                     const std::vector<params::TDifference>& bytes) {
  std::vector<std::string> lines;
  for (const params::TFieldDifference& d : params::SetFileDifferences(file, receiver))
    lines.push_back(d.Label + ": " + d.Held + " → " + d.Value);
  if (lines.empty())
    for (const params::TDifference& d : bytes) lines.push_back(writelog::ChangeLine(d.Name, d.Held, d.Written));
  return lines;
}

// The seconds a frame still takes from byte, with its read-back.
int SecondsLeft(int byte, bool withReadBack) {
  const int ms = (kFrameBytes - byte) * params::kByteWaitMs + (withReadBack ? params::kReadWaitMs : 0);
  return (ms + 999) / 1000;
}

// The receiver's JSON object: its result, the backup's path, and the fields
// a read-back found otherwise.
TJson ReceiverObject(const TConnection& connection, TEnd end, const std::string& backup,
                     const std::vector<params::TDifference>& differences) {
  TJson object = connection.ResultObject(ResultName(end));
  object.Add("backup", backup.empty() ? TJson() : TJson(backup));
  if (!differences.empty()) {
    TJson list = TJson::Array();
    for (const params::TDifference& d : differences)
      list.Push(
          TJson::Object().Add("field", d.Field).Add("label", d.Name).Add("written", d.Written).Add("receiver", d.Held));
    object.Add("differences", list);
  }
  return object;
}

// One receiver, logged in: read, back up, write, read back. written: the
// serial numbers written in this run (--each), null for a single write.
TReceiver WriteReceiver(TConnection& connection, const params::TValues& file, const std::vector<int>* written) {
  TOutput& out = connection.Out();
  TReceiver r;
  int status = kDone;
  std::optional<params::TReadOut> readOut;
  try {
    readOut = ReadReceiverSet(connection, &status);
  } catch (...) {
    r.Status = connection.Report(std::current_exception());
    r.EndsRun = true;
    return r;
  }
  r.Serial = connection.Serial();
  if (!readOut) {
    r.End = status == kDamaged ? TEnd::Damaged : TEnd::NoAnswer;
    r.Status = status;
    if (r.End == TEnd::NoAnswer && out.Json()) out.JsonLine(ReceiverObject(connection, r.End, {}, {}));
    return r;
  }
  if (written && r.Serial && std::find(written->begin(), written->end(), *r.Serial) != written->end()) {
    out.Notice("Přijímač " + std::to_string(*r.Serial) + " už byl v tomto běhu zapsán – přeskočeno");
    r.End = TEnd::Skipped;
    return r;
  }
  const TParamImage& held = readOut->Image;
  const TParamImage image = params::WriteImageOfSet(file, held, OperatorCode);
  const std::vector<params::TDifference> bytes = params::WriteDifferences(image, held);
  // Everything the write would verify is there already.
  if (bytes.empty()) {
    out.Info("beze změny");
    r.End = TEnd::Unchanged;
    r.Written = true;
    if (out.Json()) out.JsonLine(ReceiverObject(connection, r.End, {}, {}));
    return r;
  }
  std::string backup;
  if (!connection.Options().NoBackup) {
    try {
      backup = params::SaveBackup(held, !readOut->WellFormed);
    } catch (const params::EBackup& e) {
      out.Error(std::string(e.what()) + "\nNic nebylo zapsáno (bez zálohy zapíše volba --no-backup)");
      r.End = TEnd::Stopped;
      r.Status = kNotDone;
      r.EndsRun = true;
      if (out.Json()) out.JsonLine(ReceiverObject(connection, r.End, {}, {}));
      return r;
    }
    out.Info("Záloha: " + backup);
  }
  for (const std::string& line : ChangeLines(file, held, bytes)) out.Info(line);

  // From the frame's first byte to the end of its read-back the first
  // Ctrl+C only says how long it still takes.
  TInterrupt& interrupt = connection.Interrupt();
  int byte = 0;
  bool verifying = false;
  params::TSetWrite write;
  write.Image = image;
  write.Receiver = held;
  write.OnByte = [&](int i) {
    byte = i;
    r.Written = true;
    if (i == 0)
      interrupt.BeginFrame([&] {
        const int left = verifying ? (params::kReadWaitMs + 999) / 1000 : SecondsLeft(byte, true);
        out.Notice("Zápis parametrů nelze přerušit uprostřed: dokončí se i s ověřením asi za " + std::to_string(left) +
                   " s. Druhé Ctrl+C jej zastaví hned.");
      });
    out.Progress("Zápis parametrů: " + std::to_string(i) + "/128 B, zbývá " + std::to_string(SecondsLeft(i, false)) +
                 " s");
  };
  write.OnVerifying = [&] {
    verifying = true;
    out.Info("Ověření zápisu…");
  };
  if (!out.Terminal()) out.Info("Zápis parametrů…");
  const params::TSetWriteResult result = params::WriteSet(write);
  interrupt.EndFrame();

  switch (result.Outcome) {
    case writelog::TOutcome::Verified:
      out.Info(kVerified);
      r.End = TEnd::Verified;
      break;
    case writelog::TOutcome::NotVerified:
      out.Info(kNotVerified);
      out.Info(params::DescribeVerification(result.Verification, kParamBytes));
      r.End = TEnd::NotVerified;
      r.Status = kNotDone;
      break;
    case writelog::TOutcome::Stopped:
    case writelog::TOutcome::Sent:
      // Without an error the carriage return brought no prompt: nothing went
      // out after it.
      if (!result.Error) {
        out.Error(std::string(params::kNoAnswer) + ": nic nebylo zapsáno");
        r.Status = kNoAnswer;
      }
      out.Info(kStopped);
      r.End = TEnd::Stopped;
      break;
  }
  // A port lost or a stop: told, and it decides the status.
  if (result.Error) {
    r.Status = connection.Report(result.Error);
    r.EndsRun = true;
  }
  if (out.Json()) out.JsonLine(ReceiverObject(connection, r.End, backup, result.Verification.Differences));
  return r;
}

// --each: one receiver after another until --count or Ctrl+C while the next
// is awaited, then the summary.
int WriteFleet(TConnection& connection, const params::TValues& file) {
  TOutput& out = connection.Out();
  const TOptions& options = connection.Options();
  TInterrupt& interrupt = connection.Interrupt();
  std::vector<int> written;
  // One entry a receiver, in order; a receiver not written (a damaged
  // read-out, no prompt before the frame) that comes again replaces its
  // entry.
  std::vector<TReceiver> receivers;
  int status = kDone;
  bool endedEarly = false;  // by Ctrl+C or a failure, before --count
  for (bool first = true;; first = false) {
    const TLogin login = connection.LogIn(first);
    if (login != TLogin::LoggedIn) {
      // Ctrl+C while the next receiver is awaited ends the run as it should.
      if (login == TLogin::Stopped && !first && !options.Count) break;
      status = connection.ReportLogin(login);
      endedEarly = true;
      break;
    }
    out.Info("Přijímač připojen v pořádku");
    const TReceiver r = WriteReceiver(connection, file, &written);
    if (r.End != TEnd::Skipped) {
      const auto same = std::find_if(receivers.begin(), receivers.end(),
                                     [&](const TReceiver& o) { return o.Serial && o.Serial == r.Serial; });
      if (same != receivers.end()) *same = r;
      else receivers.push_back(r);
      if (r.Serial && r.Written) written.push_back(*r.Serial);
    }
    if (r.EndsRun) {
      status = r.Status;
      endedEarly = true;
      break;
    }
    if (options.Count && static_cast<int>(receivers.size()) >= options.Count) break;
    // A Ctrl+C in the frame let this receiver finish; the run ends here.
    if (interrupt.Signal()) {
      endedEarly = options.Count != 0;
      if (endedEarly) status = interrupt.Status();
      break;
    }
  }

  std::string summary;
  TJson list = TJson::Array();
  bool allDone = true;
  for (const TReceiver& r : receivers) {
    const std::string serial = r.Serial ? std::to_string(*r.Serial) : std::string("neznámé");
    summary += serial + "  " + OutcomeText(r.End) + "\n";
    list.Push(TJson::Object().Add("serial", TJson::Number(r.Serial)).Add("result", ResultName(r.End)));
    allDone = allDone && Done(r.End);
  }
  if (summary.empty()) summary = "žádný přijímač nebyl zapsán\n";
  out.Info("Souhrn:\n" + summary.substr(0, summary.size() - 1));
  if (out.Json()) {
    TJson object = TJson::Object();
    object.Add("command", "write").Add("port", options.Port).Add("result", "summary").Add("receivers", list);
    out.JsonLine(object);
  }
  if (endedEarly && status != kDone) return status;
  return allDone ? kDone : kNotDone;
}

}  // namespace

int RunWrite(TConnection& connection, const params::TValues& file) {
  if (connection.Options().Each) return WriteFleet(connection, file);
  if (const TLogin login = connection.LogIn(true); login != TLogin::LoggedIn) return connection.ReportLogin(login);
  connection.Out().Info("Přijímač připojen v pořádku");
  const TReceiver r = WriteReceiver(connection, file, nullptr);
  // A Ctrl+C during the frame let it finish (the outcome told); the client
  // ends as Ctrl+C ends it.
  if ((r.Status == kDone || r.Status == kNotDone) && connection.Interrupt().Signal())
    return connection.Interrupt().Status();
  return r.Status;
}

}  // namespace cli
