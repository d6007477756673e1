#pragma once
// The login on the receiver's command line, as a terminal user would do it:
// after a reset the receiver answers a space with its password prompt
// ("...PASSWORD:"), takes the five letters of the password and then asks for
// the operator ("OP:"), who is given as one raw byte; then it stands at its
// command prompt "CMD>". Only that prompt, received after the operator code,
// shows the login complete: a receiver reset again meanwhile took the code
// for nothing. When the prompt has not come by the end of the code's wait, a
// lone carriage return must bring it (every receiver shows its prompt for
// one). This file is the one place these rules live; the reset dialog drives
// them from its login timer.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The operator code: 0 at start, 100 whenever the connection dialog opens,
// taken from its field when the operator connects. Sent at "OP:" and written
// into the receiver's parameter block.
extern std::uint8_t OperatorCode;

namespace login {

inline constexpr std::string_view kPoll = " ";                 // sent on every tick until the prompt
inline constexpr std::string_view kPasswordPrompt = "WORD:";
inline constexpr std::string_view kPassword = "TREMO";         // as it stands, no terminator
inline constexpr std::string_view kOperatorPrompt = "OP:";
inline constexpr int kPollIntervalMs = 500;
inline constexpr int kPasswordWaitMs = 2000;                   // after the password, before looking for "OP:"
inline constexpr int kOperatorCodeWaitMs = 2000;               // after the operator code
inline constexpr std::string_view kCommandPrompt = "CMD>";     // the login has completed
inline constexpr std::string_view kWake = "\r";                // brings the command prompt
inline constexpr int kWakeWaitMs = 1000;                       // after the carriage return
inline constexpr std::uint8_t kDefaultOperatorCode = 100;      // goes out as 0x64, the letter d

// The codes the receiver takes: 1..254.
constexpr bool IsValidOperatorCode(int code) { return code >= 1 && code <= 254; }

// The operator code as it goes out: exactly one byte, nothing after it.
std::string OperatorCodeText(std::uint8_t code);

// What one tick of the login needs of the line. Send and Sleep may throw
// (a port error ends the tick where it happens).
struct TLoginLine {
  std::function<void(std::string_view text)> Send;
  std::function<void(int milliseconds)> Sleep;        // keeps the windows and the receive path running
  std::function<bool(std::string_view text)> Received; // the receive text contains it
  std::function<void()> ClearReceived;
  std::function<void()> StopPolling;                   // no further tick may start
};

enum class TLoginTick {
  Polling,           // no password prompt yet: the next tick sends the next space
  LoggedIn,          // password and operator code sent, and the command prompt came
  NoOperatorPrompt,  // the password went out but "OP:" never came: login failed
  NotConfirmed,      // the operator code went out but no command prompt came: login failed
};

// One tick of the login timer: send a space; unless everything received
// since the dialog opened contains the password prompt, that is all.
// Otherwise stop polling, send the password, clear the receive text, wait,
// and when "OP:" has come clear it again, send the operator code and wait
// again. The command prompt received since then completes the login; without
// it a carriage return goes out and the prompt must come within its wait.
TLoginTick LoginTick(const TLoginLine& line, std::uint8_t operatorCode);

}  // namespace login
