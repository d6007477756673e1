#include "receiver/Readout.h"

#include "link/ReceiveText.h"

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

}  // namespace monitor
