#pragma once
// Ctrl+C (SIGINT), and SIGTERM alike. The signal handler only writes the
// signal's number into a pipe; the event loop that runs then (every wait for
// the receiver runs one) reads it and decides what it stops.
//
// Normally a signal stops at once: Stopped() is emitted, and the client
// asks the command channel to stop (its running wait throws). While a
// parameter frame goes out, a receiver left with half a frame is worse off
// than one with all of it: the first signal only calls the frame's notice
// (how long it still takes), and the frame runs on; a second one stops at
// once. Either way the signal is kept (Signal()), so that the command ends
// after what it finishes.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace cli {

class TInterrupt : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers (needs the application object); the destructor
  // puts the default ones back.
  TInterrupt();
  ~TInterrupt() override;
  TInterrupt(const TInterrupt&) = delete;
  TInterrupt& operator=(const TInterrupt&) = delete;

  // The first signal received (SIGINT, SIGTERM), 0 before any.
  int Signal() const { return signal_; }
  // The exit status after it: 128 + the signal (130 for Ctrl+C).
  int Status() const;
  // Whether a stop has been asked (Stopped emitted).
  bool StopAsked() const { return stopAsked_; }

  // From now until EndFrame, the first signal calls notice instead of
  // stopping. A signal received before is not undone.
  void BeginFrame(std::function<void()> notice);
  void EndFrame();

 signals:
  void Stopped();

 private:
  void Readable();
  void Take(int signal);

  int fds_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  int signal_ = 0;
  int count_ = 0;  // signals taken
  bool stopAsked_ = false;
  bool inFrame_ = false;
  int countAtFrame_ = 0;
  std::function<void()> notice_;
};

}  // namespace cli
