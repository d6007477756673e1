#pragma once
// A simulated ZOV Q5r siren receiver on a pseudo-terminal.
//
// The Receiver is the shell around the protocol machine (ProtocolMachine.h):
// it opens a pty, publishes its slave side as COMn in the port map
// (portmap/PortMap.h) and runs the machine on a thread of its own in real
// time, feeding it what arrives and pacing its replies like a 9600-baud
// line. Every byte that crosses the line is kept in a traffic log
// (TrafficLog.h) with a steady-clock timestamp, so a test can check what the
// program sent and when.
//
// Plain C++ and POSIX; no Qt. Every member function is thread-safe.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/ProtocolMachine.h"
#include "sim/TrafficLog.h"

namespace sim {

// One byte on a 9600-baud line with 8N1 framing: 10 bits.
inline constexpr std::chrono::nanoseconds kByteTime{1'041'667};

struct Options : ProtocolOptions {
  int port = 0;              // COM number 1..16; 0 = the first free one
  bool publish = true;       // false: leave the port map alone
  bool pacing = true;        // about 1.04 ms per byte, as at 9600 baud
  // With pacing: the bytes reach the line this many at once, every so many
  // byte times, as a UART's FIFO or a USB adapter hands them on.
  int burst = 1;
  std::string logPath;       // traffic log file; empty = none
  // Called on the receiver's thread (never under its lock) for every note:
  // reset, login, refused frame, clock set, ... Must not block for long.
  std::function<void(const std::string&)> onNote;
};

class Receiver {
 public:
  explicit Receiver(Options options = {});
  ~Receiver();                              // Stop()
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  // Opens the pty (raw mode, 9600 8N1 on its slave side), publishes it and
  // starts the thread. Throws std::system_error when the pty cannot be made
  // or the port map refuses, std::runtime_error when the wanted COM number
  // is taken by a live entry or none is free.
  void Start();
  // Ends the thread, closes the pty and removes the port-map entry (only if
  // it still points at this receiver's device). Idempotent.
  void Stop();
  bool Running() const;

  std::string PortName() const;             // "COM3"; "" when not published
  int PortNumber() const;                   // 3; 0 when not published
  std::string DevicePath() const;           // "/dev/pts/5"

  void PressReset();                        // drops pending output, waits for a space
  void SetFault(Fault fault, bool on = true);
  void ClearFaults();
  std::set<Fault> Faults() const;
  void SetPacing(bool on);
  void Vanish();                            // closes the line now (and unpublishes)

  State CurrentState() const;
  int OperatorCode() const;                 // the byte given at "OP:", -1 before any

  static ParamSet DefaultParams() { return ProtocolMachine::DefaultParams(); }
  ParamSet Params() const;
  void SetParams(const ParamSet& params);
  int SerialNumber() const;                 // bytes 4 and 5 of the set, high byte first
  int FramesAccepted() const;               // over all the receivers it has been
  int FramesRefused() const;
  int Swaps() const;                        // cable swaps so far (Options::swapSerials)

  ClockTime Clock() const;                  // running from the last set
  void SetClock(const ClockTime& time);     // fields normalised like a calendar

  static std::vector<std::string> DefaultMonitor(int lines) { return ProtocolMachine::DefaultMonitor(lines); }
  std::vector<std::string> MonitorLines() const;              // without line ends
  void SetMonitorLines(std::vector<std::string> lines);

  // See ProtocolMachine::SetCustomReply.
  void SetCustomReply(char command, std::optional<std::string> bytes);

  // The traffic log, oldest first, notes included.
  std::vector<TrafficEntry> Traffic() const;
  std::vector<TimedByte> ReceivedBytes() const;   // every received byte with its time
  std::string ReceivedText() const;               // every received byte, in order
  std::string SentText() const;                   // every sent byte, in order
  std::vector<std::string> Notes() const;
  void ClearTraffic();

  // Waits until pred() holds, re-checking whenever something happens on the
  // line or to the state. pred must not be slow; it may call the accessors.
  bool WaitFor(const std::function<bool()>& pred, int timeoutMs) const;
  bool WaitForState(State state, int timeoutMs) const;
  bool WaitForSent(std::string_view text, int timeoutMs) const;   // SentText() contains it
  bool WaitIdle(int timeoutMs) const;       // nothing left to send

 private:
  void Run();
  void Wake();
  // f() under the lock.
  template <class F>
  auto Locked(F f) const {
    std::lock_guard lk(m_);
    return f();
  }
  // Under the lock from here on.
  void Changed();                                  // notes to the log, waiters woken
  void Note(std::string text);
  void CloseLine(const std::string& why);
  void Unpublish();
  void PumpOutput(Time now);
  std::optional<Time> NextOutputTime() const;

  Options options_;
  ProtocolMachine machine_;
  TrafficLog log_;
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::uint64_t generation_ = 0;
  std::thread thread_;
  bool stopRequested_ = false;
  bool vanishRequested_ = false;
  int wakeFds_[2] = {-1, -1};
  int master_ = -1, slave_ = -1;
  std::string device_;
  int portNumber_ = 0;
  bool published_ = false;
  bool startedOnce_ = false;
  std::vector<std::string> pendingNotes_;   // for options_.onNote

  // The piece of a reply on its way out: its first byte goes at headStart_,
  // headSent_ of its bytes have gone. The line is free again at lineFree_.
  std::optional<Piece> head_;
  std::size_t headSent_ = 0;
  Time headStart_{};
  Time lineFree_{};
  bool writeBlocked_ = false;
};

}  // namespace sim
