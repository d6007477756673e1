#pragma once
// A session with a receiver as both programs set it up: the port's settings,
// the serial component's own error reports routed through the command
// channel, and, for a program without windows, the port, the delay object and
// the channel on them in one object.
#include <exception>
#include <functional>
#include <memory>

class TChannel;
class TComPort;
class TSleeper;

namespace receiver {

// 9600 baud, 8 data bits, no parity, one stop bit, no flow control with DTR
// and RTS held off; received NUL bytes dropped; received characters and ring
// reported on the main thread, which the port's thread waits for. The name
// stays the port's ("COM1" at first). Nothing is opened.
void ConfigurePort(TComPort& port);

// The serial component's own reports (a failed event wait, a failed read in
// the receive path) tell the installed channel first that the port failed,
// so that a wait for the receiver ends, and then go to show.
void RouteComponentErrors(std::function<void(std::exception_ptr)> show);

// The port (configured as above), the delay object and the channel on them,
// the channel installed as the program's and fed by the port's receive
// notifications; show is the program's error display (see above). The port
// is closed and the channel uninstalled when the session ends.
class TSession {
 public:
  explicit TSession(std::function<void(std::exception_ptr)> show);
  ~TSession();
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  TComPort& Port() { return *port_; }
  TChannel& Channel() { return *channel_; }

 private:
  std::unique_ptr<TSleeper> sleeper_;
  std::unique_ptr<TComPort> port_;
  std::unique_ptr<TChannel> channel_;
};

}  // namespace receiver
