#pragma once
// The command channel: the line's state and the exchanges with the receiver.
//
// It owns the receive text (everything received since it was last cleared)
// and the activity counter (one step per receive notification, 0..1000 and
// round again: 1000 is shown, 1001 never), does the receive handler's work,
// and sends and waits on the main window's port and delay object. Windows
// observe it (the monitor's memo shows the receive text, its indicator the
// counter); it knows no window.
//
// Every exchange with the receiver: clear the receive text, SendAndWait the
// command, then search the receive text for the expected reply.
//
// A port that fails ends the exchange that meets it: the serial component
// reports the failure (the error box shows it), and the wait running then,
// or the next send or wait on the same opening of the port, throws the same
// error, marked as already reported, so that the sequence stops where it
// stood and shows its failure, and the operator sees one error box in all.
// A port opened again starts clean.
//
// A stop that the operator asks for (Ctrl+C in the command-line client) ends
// the exchange the same way: the wait running then ends at once and throws
// EStopped, and so does every send or wait after it, until the stop is
// cleared. Quitting the event loop would not do: every later wait would
// return at once, and the rest of a frame would go out unpaced.
//
// It also keeps the line's state for whoever shows it: the port as it was
// opened with the device it stands for, whether the receiver on it is logged
// in or the line has been lost, and the receiver's serial number as far as a
// read-out or a verified write has given it. Every opening of the port
// forgets the receiver (another one may be on the line now).
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "link/ReceiveText.h"
#include "serial/ComError.h"

class TComPort;
class TSleeper;

// An exchange ended by a stop the operator asked for.
class EStopped : public std::runtime_error {
 public:
  EStopped() : std::runtime_error("zastaveno") {}
};

// What the line is doing, as the operator is told it.
enum class TLineState {
  NotConnected,  // "nepřipojeno": the port closed, or open but nobody logged in
  LoggedIn,      // "přihlášeno": a login on this opening of the port completed
  Lost,          // "spojení ztraceno – připojte znovu": the port failed
};

class TChannel : public QObject {
  Q_OBJECT

 public:
  // The port and the delay object stay their owner's; the channel only uses
  // them, and refuses to once they are gone. It takes the port's OnAfterOpen
  // and OnAfterClose (PortOpened and PortClosed pass them on).
  TChannel(TComPort* port, TSleeper* sleeper, QObject* parent = nullptr);

  TComPort& Port() const;
  TSleeper& Sleeper() const;
  TReceiveText& RxText() { return rxText_; }

  int Activity() const { return activity_; }
  // Sets the counter back to 0 (the monitor's read-out starts so).
  void ResetActivity();

  // The receive handler's work for one notification: step the counter,
  // read up to count waiting bytes and append them to the receive text.
  void Receive(int count);

  // Sends text on the port; returns when the write has completed. Throws
  // the port's error, sending nothing, when the port has failed on this
  // opening.
  int Send(std::string_view text);
  // Waits while the windows stay responsive and received characters keep
  // arriving. Throws the port's error when the serial component has
  // reported the port failed on this opening, before the wait or during it.
  void Sleep(int milliseconds);
  // Send, then Sleep. Returns the number of bytes sent.
  int SendAndWait(std::string_view text, int milliseconds);

  // The serial component has reported a failure of the port that no caller
  // of ours could catch (the event thread's wait failed, a read in the receive
  // path failed); the program's error display passes it on before it shows
  // it. A wait running now ends at once with it, or the next send or wait
  // does (see above); the line is lost, and PortFailed tells whoever watches
  // the receiver outside a wait.
  void ReportPortFailure(const EComPort& error);
  // Whether the port has failed on this opening.
  bool PortHasFailed() const { return failure_ != nullptr; }

  // The operator asks to stop: the running wait ends now and throws
  // EStopped, as does every send or wait until ClearStop.
  void RequestStop();
  void ClearStop() { stopRequested_ = false; }
  bool StopRequested() const { return stopRequested_; }

  // ---- the line's state
  TLineState State() const { return state_; }
  // The COM name and the device it stood for when the port was last opened
  // ("COM1", "/dev/ttyUSB0"; the device "" when it could not be told).
  const std::string& OpenedPort() const { return openedPort_; }
  const std::string& OpenedDevice() const { return openedDevice_; }
  // A login on this opening has completed (the receiver is forgotten: it
  // may be another one).
  void LoggedIn();
  // The connected receiver's serial number, once a read-out or a verified
  // write has given it.
  std::optional<int> ReceiverSerial() const { return receiverSerial_; }
  void SetReceiverSerial(int serial);

 signals:
  void ActivityChanged(int activity);
  void PortFailed();
  // The port has been opened (a clean line, nobody logged in) or closed.
  void PortOpened();
  void PortClosed();
  // The state, the port or the receiver's serial number has changed.
  void LineChanged();
  // Every completed send and every read from the port, with the bytes as
  // they went over the line, in order; on the GUI thread, right after the
  // send returned or the read was made.
  void Sent(const std::string& bytes);
  void Received(const std::string& bytes);

 private:
  void SetActivity(int activity);
  void SetState(TLineState state);
  // Throws the failure of this opening, if there is one.
  void ThrowIfFailed();
  void Opened();
  void Closed();

  QPointer<TComPort> port_;
  QPointer<TSleeper> sleeper_;
  TReceiveText rxText_;
  int activity_ = 0;
  std::unique_ptr<EComPort> failure_;  // of this opening of the port
  bool failureRaised_ = false;         // a send or wait has thrown it already
  bool stopRequested_ = false;
  TLineState state_ = TLineState::NotConnected;
  std::string openedPort_, openedDevice_;
  std::optional<int> receiverSerial_;
};

// The program's one channel, installed at start by the program.
TChannel& Channel();
void InstallChannel(TChannel* channel);

// Shorthands for the installed channel.
inline TReceiveText& RxText() { return Channel().RxText(); }
inline int SendAndWait(std::string_view text, int milliseconds) {
  return Channel().SendAndWait(text, milliseconds);
}
