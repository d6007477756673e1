#include "sim/ProtocolMachine.h"

// The faults' names and descriptions (for --fault and --help), and the
// states' names.
namespace sim {

namespace {

struct FaultInfo {
  Fault fault;
  const char* name;
  const char* description;
};

constexpr FaultInfo kFaults[] = {
    {Fault::Silent, "silent", "answers nothing at all (it still reads and logs what arrives)"},
    {Fault::NoOp, "no-op", "takes the password but sends no \"OP:\" prompt (the next byte is still the operator code)"},
    {Fault::NoCmdPrompt, "no-cmd-prompt", "answers a lone CR with a line break but no \"CMD>\""},
    {Fault::CutReply, "cut-reply", "the replies to \"e\", \"t\" and \"m\" stop halfway: no \"CMD>\""},
    {Fault::Garbage, "garbage", "3 to 10 control and high bytes ahead of every reply (never text, CR, LF, comma or "
                                "colon, so the values the program cuts stay in place) and NUL bytes strewn inside it"},
    {Fault::Split, "split", "replies go out in many small writes with pauses between: a write ends after every CR "
                            "(its LF starts the next), \"WORD:\" is split after \"WO\", replies up to 512 bytes every 1 to 5 bytes; 10 ms between writes"},
    {Fault::Slow, "slow", "every reply starts only after a pause (--slow-ms, default 2500 ms: later than every wait of the program)"},
    {Fault::MonitorLate, "monitor-late", "the monitor's closing \"CMD>\" comes after a pause (--late-ms, default 45000 ms: after the program has given up)"},
    {Fault::MonitorNoEnd, "monitor-no-end", "the monitor's closing \"CMD>\" never comes"},
    {Fault::Vanish, "vanish", "the line closes (pty gone, port-map entry removed) 50 ms after the first half of the "
                            "next reply on the command line"},
    {Fault::KeepsOldSet, "keeps-old-set", "answers a parameter frame with \"ZAPSÁNO\" but keeps its old set"},
    {Fault::ClockOff, "clock-off", "answers a clock write with \"OK\" but sets its clock an hour later than the "
                                   "fields say"},
    {Fault::ResetInLogin, "reset-in-login", "resets itself right after it asks \"OP:\", as if its reset button were "
                                            "pressed again during the login: the operator code goes unanswered"},
};

}  // namespace

const std::vector<Fault>& AllFaults() {
  static const std::vector<Fault> all = [] {
    std::vector<Fault> v;
    for (const auto& f : kFaults) v.push_back(f.fault);
    return v;
  }();
  return all;
}

std::string_view FaultName(Fault fault) {
  for (const auto& f : kFaults)
    if (f.fault == fault) return f.name;
  return "?";
}

std::string_view FaultDescription(Fault fault) {
  for (const auto& f : kFaults)
    if (f.fault == fault) return f.description;
  return "";
}

std::optional<Fault> FaultFromName(std::string_view name) {
  for (const auto& f : kFaults)
    if (name == f.name) return f.fault;
  return std::nullopt;
}

std::string_view StateName(State state) {
  switch (state) {
    case State::BeforeReset: return "before reset";
    case State::AwaitSpace: return "waiting for a space";
    case State::Password: return "password prompt";
    case State::Operator: return "operator prompt";
    case State::Command: return "command line";
    case State::Frame: return "receiving a parameter frame";
    case State::ClockFields: return "receiving clock fields";
    case State::Vanished: return "line closed";
    case State::Stopped: return "stopped";
  }
  return "?";
}

}  // namespace sim
