#pragma once
// A command's connection to the receiver: the session (the port configured,
// the delay object, the command channel), the line trace, the port opened
// by its COM name, and the login, with what each failure means for the exit
// status. Ctrl+C asks the channel to stop, which ends the wait running.
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "cli/Options.h"

namespace receiver {
class TSession;
}
namespace trace {
class TTraceFile;
}

namespace cli {

class TInterrupt;
class TOutput;
class TJson;

// How a login ended.
enum class TLogin {
  LoggedIn,
  TimedOut,  // no login within the time given
  Stopped,   // Ctrl+C
  Failed,    // the port failed (Error says how)
};

class TConnection {
 public:
  TConnection(const TOptions& options, TOutput& output, TInterrupt& interrupt);
  ~TConnection();
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  const TOptions& Options() const { return options_; }
  TOutput& Out() { return output_; }
  TInterrupt& Interrupt() { return interrupt_; }

  // The trace (when asked for), then the port. 0, or the exit status with
  // the reason told: 2 for a trace file that cannot take the trace, 3 for
  // a port that cannot be opened.
  int Open();

  // Logs in on the receiver. first: a receiver still logged in from an
  // earlier run needs no reset, and the login has --login-timeout;
  // otherwise the next receiver's reset is waited for without a deadline.
  // Before the polling starts stderr asks for the reset. A port error ends
  // the login with Failed (told, and kept for Report).
  TLogin LogIn(bool first);
  // Says why a login ended that did not log in; its exit status.
  int ReportLogin(TLogin end);

  // Tells an error that ended a step (unless the port's was told already)
  // and gives its exit status: 3 for the port, 128 + the signal for a stop,
  // 1 for anything else.
  int Report(std::exception_ptr error);

  // The COM name, and the receiver's serial number as far as a read-out
  // has given it.
  const std::string& PortName() const { return options_.Port; }
  std::optional<int> Serial() const;
  // {"command", "port", "serial", "result"} of this command.
  TJson ResultObject(const char* result) const;

 private:
  const TOptions& options_;
  TOutput& output_;
  TInterrupt& interrupt_;
  std::unique_ptr<receiver::TSession> session_;
  std::unique_ptr<trace::TTraceFile> trace_;
  std::exception_ptr loginError_;
};

// What the operator reads of an error: its text; for a port error with a
// cause in the system also the system's words and a hint, on lines of
// their own.
std::string ErrorText(std::exception_ptr error);

}  // namespace cli
