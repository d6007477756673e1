#include "receiver/ClockExchange.h"

#include "link/Channel.h"

namespace clock_exchange {

namespace {

// Clears the receive text, sends a carriage return and waits: whether the
// receiver stands at its prompt.
bool Prompted() {
  RxText().Clear();
  SendAndWait("\r", kPromptWaitMs);
  return RxText().Contains(kPrompt);
}

}  // namespace

std::optional<TClockRead> ReadClock() {
  if (!Prompted()) return std::nullopt;
  RxText().Clear();
  Channel().Send("t");
  const TSteadyTime asked = std::chrono::steady_clock::now();
  Channel().Sleep(kReadWaitMs);
  return TClockRead{CutClockReply(RxText().Line(0)), asked};
}

TClockWrite WriteClock(const std::function<std::optional<std::vector<std::string>>()>& fields) {
  if (!Prompted()) return {TClockWriteEnd::NoPrompt, {}};
  const std::optional<std::vector<std::string>> values = fields();
  if (!values) return {TClockWriteEnd::Withheld, {}};
  RxText().Clear();
  Channel().Send("s");
  TSteadyTime secondsSent{};
  for (const std::string& field : *values) {
    Channel().Send(field);
    secondsSent = std::chrono::steady_clock::now();
    Channel().Sleep(kFieldWaitMs);
  }
  return {TClockWriteEnd::Written, secondsSent};
}

}  // namespace clock_exchange
