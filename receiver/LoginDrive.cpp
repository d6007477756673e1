#include "receiver/LoginDrive.h"

#include "link/Channel.h"

namespace receiver {

void BeginLogin() { RxText().Clear(); }

void BeginLoginAfterWake() {
  if (!RxText().Contains(login::kPasswordPrompt)) BeginLogin();
}

login::TLoginTick LoginTick(std::uint8_t operatorCode, const std::function<void()>& stopPolling) {
  login::TLoginLine line;
  line.Send = [](std::string_view text) { Channel().Send(text); };
  line.Sleep = [](int ms) { Channel().Sleep(ms); };
  line.Received = [](std::string_view text) { return RxText().Contains(text); };
  line.ClearReceived = [] { RxText().Clear(); };
  line.StopPolling = stopPolling;
  const login::TLoginTick tick = login::LoginTick(line, operatorCode);
  if (tick == login::TLoginTick::LoggedIn) Channel().LoggedIn();
  return tick;
}

bool StillLoggedIn() {
  RxText().Clear();
  SendAndWait(login::kWake, login::kWakeWaitMs);
  if (!RxText().Contains(login::kCommandPrompt)) return false;
  Channel().LoggedIn();
  return true;
}

}  // namespace receiver
