#pragma once
// The login's drive on the program's command channel: the rules are
// link/Login.h's, the timer that ticks them the caller's (the reset dialog's
// login timer, the command-line client's).
#include <cstdint>
#include <functional>

#include "link/Login.h"

namespace receiver {

// A login begins: what the receiver sent before is not searched.
void BeginLogin();
// A login begins after StillLoggedIn found no command prompt. A receiver
// reset just before answers that carriage return with its password prompt
// and then takes the polling spaces for nothing more, waiting for its
// password: the prompt stays in the receive text, so that the first tick
// finds it. Without it, as BeginLogin.
void BeginLoginAfterWake();

// One tick of the login: a space, and once the password prompt has come
// (stopPolling runs then: no tick may start while this one waits) the
// password, the operator code and the command prompt that confirms them.
// A completed login is the channel's (it forgets the receiver: this may be
// another one). A port error ends the tick where it happens.
login::TLoginTick LoginTick(std::uint8_t operatorCode, const std::function<void()>& stopPolling);

// Whether the receiver stands at its command line already, logged in from
// an earlier run: a lone carriage return and its wait bring "CMD>". The
// channel counts it as logged in then.
bool StillLoggedIn();

}  // namespace receiver
