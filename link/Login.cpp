#include "link/Login.h"

std::uint8_t OperatorCode = 0;

namespace login {

std::string OperatorCodeText(std::uint8_t code) { return std::string(1, static_cast<char>(code)); }

TLoginTick LoginTick(const TLoginLine& line, std::uint8_t operatorCode) {
  line.Send(kPoll);
  // Not cleared between ticks: a prompt that came in pieces is found once
  // its last piece is in.
  if (!line.Received(kPasswordPrompt)) return TLoginTick::Polling;
  // Stopped before the first wait, so no tick starts while this one waits.
  line.StopPolling();
  line.Send(kPassword);
  line.ClearReceived();
  line.Sleep(kPasswordWaitMs);
  // Without the operator prompt the receiver did not take the password;
  // a code sent now would be read as something else.
  if (!line.Received(kOperatorPrompt)) return TLoginTick::NoOperatorPrompt;
  // Only what answers the code counts.
  line.ClearReceived();
  line.Send(OperatorCodeText(operatorCode));
  line.Sleep(kOperatorCodeWaitMs);
  if (line.Received(kCommandPrompt)) return TLoginTick::LoggedIn;
  // A prompt that was slow, or lost in noise, comes again for a carriage
  // return; a receiver reset meanwhile answers it with its password prompt.
  line.Send(kWake);
  line.Sleep(kWakeWaitMs);
  return line.Received(kCommandPrompt) ? TLoginTick::LoggedIn : TLoginTick::NotConfirmed;
}

}  // namespace login
