#include "receiver/Readout.h"

#include "link/Channel.h"
#include "link/ReceiveText.h"
#include "serial/ComPort.h"
#include "writelog/WriteLog.h"

namespace monitor {

bool StartReadout(const TMonitorLine& line) {
  line.Send(kWake);
  line.Sleep(kPromptWaitMs);
  if (!line.Received(kPrompt)) return false;
  line.ClearReceived();
  line.Send(kReadCommand);
  line.Sleep(kReadWaitMs);
  return true;
}

TWatch WatchTick(int& ticks, bool promptReceived) {
  ++ticks;
  if (promptReceived) return TWatch::Done;
  // The counter starts at 1, so the 40th tick makes it 41.
  if (ticks > kLastTick) return TWatch::Failed;
  return TWatch::Waiting;
}

void TrimToMonitor(TReceiveText& text) {
  text.DeleteLine(0);
  text.DeleteLine(text.LineCount() - 1);
}

bool StartReadoutOnChannel() {
  Channel().ResetActivity();
  RxText().Clear();
  TMonitorLine line;
  line.Send = [](std::string_view text) { Channel().Send(text); };
  line.Sleep = [](int ms) { Channel().Sleep(ms); };
  line.Received = [](std::string_view text) { return RxText().Contains(text); };
  line.ClearReceived = [] { RxText().Clear(); };
  return StartReadout(line);
}

TWatch WatchOnChannel(int& ticks) {
  const TWatch watch = WatchTick(ticks, RxText().Contains(kPrompt));
  if (watch == TWatch::Done) TrimToMonitor(RxText());
  return watch;
}

void ClearMonitor(const std::string& savedTo) {
  Channel().Send(kClearCommand);
  // The "n" has gone out: the clear is recorded whatever the wait brings.
  writelog::TRecord record = writelog::RecordOfWrite("nulování monitoru", Channel().OpenedPort(),
                                                     Channel().ReceiverSerial(), writelog::TOutcome::Sent);
  record.Details.push_back(savedTo.empty() ? std::string("čtení před nulováním neuloženo")
                                           : "čtení před nulováním uloženo do " + savedTo);
  try {
    writelog::Append(record);
  } catch (...) {
    ShowApplicationError(std::current_exception());
  }
  Channel().Sleep(kClearWaitMs);
}

}  // namespace monitor
