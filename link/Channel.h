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
// A port that fails while an exchange waits ends that exchange: the serial
// component reports the failure (the error box shows it), and the wait
// throws the same error, marked as already reported, so that the dialog's
// sequence stops where it stood and shows its failure, and the operator sees
// one error box in all.
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>
#include <string_view>

#include "link/ReceiveText.h"
#include "serial/ComError.h"

class TComPort;
class TSleeper;

class TChannel : public QObject {
  Q_OBJECT

 public:
  // The port and the delay object stay the main window's; the channel only
  // uses them, and refuses to once they are gone.
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

  // Sends text on the port; returns when the write has completed.
  int Send(std::string_view text);
  // Waits while the windows stay responsive and received characters keep
  // arriving. Throws the port's error when the serial component has
  // reported the port failed meanwhile.
  void Sleep(int milliseconds);
  // Send, then Sleep. Returns the number of bytes sent.
  int SendAndWait(std::string_view text, int milliseconds);

  // The serial component has reported a failure of the port that no caller
  // of ours could catch (the event thread's wait failed, a read in the receive
  // path failed); the program's error display passes it on before it shows
  // it. A wait running now, or the next one, ends with it (see above), and
  // PortFailed tells whoever watches the receiver outside a wait.
  void ReportPortFailure(const EComPort& error);

 signals:
  void ActivityChanged(int activity);
  void PortFailed();
  // Every completed send and every read from the port, with the bytes as
  // they went over the line, in order; on the GUI thread, right after the
  // send returned or the read was made.
  void Sent(const std::string& bytes);
  void Received(const std::string& bytes);

 private:
  void SetActivity(int activity);

  QPointer<TComPort> port_;
  QPointer<TSleeper> sleeper_;
  TReceiveText rxText_;
  int activity_ = 0;
  unsigned failures_ = 0;                  // failures reported so far
  std::unique_ptr<EComPort> lastFailure_;  // the last of them
  bool lastFailureRaised_ = false;         // a wait has thrown it already
};

// The program's one channel, installed at start by the program.
TChannel& Channel();
void InstallChannel(TChannel* channel);

// Shorthands for the installed channel.
inline TReceiveText& RxText() { return Channel().RxText(); }
inline int SendAndWait(std::string_view text, int milliseconds) {
  return Channel().SendAndWait(text, milliseconds);
}
