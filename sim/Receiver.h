#pragma once
// A simulated ZOV Q5r siren receiver on a pseudo-terminal.
//
// The receiver opens a pty, publishes its slave side as COMn in the port map
// (portmap/PortMap.h) and plays the receiver's side of the line on a thread of
// its own: the login after a reset, the command line with "e", "z", "t", "s",
// "m" and "n", paced like a 9600-baud line, with faults on demand. Every byte
// that crosses the line is kept in a traffic log with a steady-clock
// timestamp, so a test can check what the program sent and when.
//
// Plain C++ and POSIX; no Qt. Every member function is thread-safe.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sim {

inline constexpr int kParamSize = 72;      // the parameter set
inline constexpr int kFrameSize = 128;     // the frame after "z": the set, then 56 x 0xFF
inline constexpr const char* kPassword = "TREMO";
// One byte on a 9600-baud line with 8N1 framing: 10 bits.
inline constexpr std::chrono::nanoseconds kByteTime{1'041'667};

using ParamSet = std::array<std::uint8_t, kParamSize>;

// Faults the receiver can be told to show. Several may be active at once.
enum class Fault {
  Silent,        // sends nothing at all (still reads and logs what arrives)
  NoOp,          // accepts the password but sends no "OP:" prompt
  NoCmdPrompt,   // answers a lone CR with a line break but no "CMD>"
  CutReply,      // replies to "e", "t" and "m" stop halfway, no "CMD>"
  Garbage,       // noise ahead of every reply, NUL bytes inside it
  Split,         // replies go out in many small writes with pauses between
  Slow,          // every reply starts only after Options::slowDelayMs
  MonitorLate,   // the monitor's closing "CMD>" comes Options::monitorLateMs late
  MonitorNoEnd,  // the monitor's closing "CMD>" never comes
  Vanish,        // the pty closes halfway through the next reply on the command line
  KeepsOldSet,   // answers a parameter frame as written but keeps its old set
  ClockOff,      // takes a clock write but sets itself an hour later than its fields
};

const std::vector<Fault>& AllFaults();
std::string_view FaultName(Fault fault);            // "no-op", "cut-reply", ...
std::string_view FaultDescription(Fault fault);     // one line for --help
std::optional<Fault> FaultFromName(std::string_view name);

enum class State {
  BeforeReset,   // ignores the line until the reset button is pressed
  AwaitSpace,    // reset pressed: the first space (or CR) brings the password prompt
  Password,      // collecting the five password characters
  Operator,      // the next byte is the operator code
  Command,       // on the command line
  Frame,         // collecting the 128 bytes after "z"
  ClockFields,   // collecting the seven fields after "s"
  Vanished,      // the line has been closed (Vanish)
  Stopped,       // not started, or stopped
};
std::string_view StateName(State state);

// The receiver's clock. dayOfWeek: 0 = Sunday .. 6 = Saturday; year in full
// (the receiver shows and takes its last two digits).
struct ClockTime {
  int dayOfWeek = 0;
  int day = 1, month = 1, year = 2000;
  int hour = 0, minute = 0, second = 0;
  bool operator==(const ClockTime&) const = default;
};

enum class Direction { Rx, Tx, Note };   // Rx: from the program; Tx: to it; Note: an event

struct TrafficEntry {
  std::chrono::steady_clock::time_point at;
  std::chrono::system_clock::time_point wall;  // the same moment on the system clock
  double ms = 0;            // milliseconds since Start()
  Direction dir = Direction::Note;
  std::string bytes;        // the bytes of one read or write; for a note its text
};

struct TimedByte {
  double ms = 0;
  std::uint8_t byte = 0;
};

struct Options {
  int port = 0;              // COM number 1..16; 0 = the first free one
  bool publish = true;       // false: leave the port map alone
  bool pacing = true;        // about 1.04 ms per byte, as at 9600 baud
  int monitorLines = 700;    // about 30 s of monitor at 9600 baud
  std::set<Fault> faults;
  bool resetOnStart = false; // start as if the reset button had just been pressed
  std::string logPath;       // traffic log file; empty = none
  int slowDelayMs = 2500;    // Slow: pause before every reply
  int monitorLateMs = 45000; // MonitorLate: pause before the monitor's "CMD>"
  int splitGapMs = 10;       // Split: pause between the pieces of a reply
  int frameTimeoutMs = 2000; // "z": a frame with no byte for this long is refused
  int fieldGapMs = 250;      // "s": a pause this long ends a clock field
  int clockTimeoutMs = 2000; // "s": no byte for this long abandons the clock write
  int passwordIdleMs = 1000; // a partial password older than this is dropped
  unsigned seed = 1;         // noise and split points
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

  static ParamSet DefaultParams();
  ParamSet Params() const;
  void SetParams(const ParamSet& params);
  int FramesAccepted() const;
  int FramesRefused() const;

  ClockTime Clock() const;                  // running from the last set
  void SetClock(const ClockTime& time);     // fields normalised like a calendar

  static std::vector<std::string> DefaultMonitor(int lines);  // code page 1250 bytes
  std::vector<std::string> MonitorLines() const;              // without line ends
  void SetMonitorLines(std::vector<std::string> lines);

  // Scripts the reply to a command byte ('\r', 'e', 't', 'm', 'n' or any
  // unknown byte) for edge cases: from now on that command is answered with
  // exactly these bytes (the faults still shape them; "n" still clears the
  // monitor). nullopt restores the receiver's own reply. Not for 'z' or 's',
  // whose data phases stay as they are.
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
  struct Piece {
    std::string bytes;
    int delayMs = 0;        // pause before this piece once it is next in line
    bool vanish = false;    // close the line instead of sending
  };
  using Clock_ = std::chrono::steady_clock;

  void Run();
  void Wake();
  void CloseLine(const std::string& why);          // under lock
  void SetClockLocked(const ClockTime& time, Clock_::time_point now);  // under lock
  void Unpublish();                                // under lock
  void AddTraffic(Direction dir, std::string bytes, Clock_::time_point at);  // under lock
  void Note(std::string text);                     // under lock
  void SetState(State s);                          // under lock
  void HandleInput(const std::string& bytes, Clock_::time_point at);   // under lock
  void HandleByte(std::uint8_t b, Clock_::time_point at);             // under lock
  void HandleDeadlines(Clock_::time_point now);                        // under lock
  std::optional<Clock_::time_point> NextDeadline() const;              // under lock
  void CommandByte(std::uint8_t b, Clock_::time_point at);            // under lock
  void EndClockField();                                                 // under lock
  void FinishFrame(bool cutShort);                                      // under lock
  void ApplyClockFields(Clock_::time_point lastByte);                   // under lock
  // Queues a reply shaped by the active faults; false when it will not go
  // out whole (silent, cut short, or the line vanishing in it).
  bool Reply(std::string text, bool commandReply = true, bool cuttable = false);  // under lock
  void ReplyMonitor();                                                  // under lock
  void Queue(std::vector<Piece> pieces);                                // under lock
  std::string Noise();                                                  // under lock
  std::vector<Piece> SplitPieces(const std::string& text) const;       // under lock
  void PumpOutput(Clock_::time_point now);                              // under lock
  std::optional<Clock_::time_point> NextOutputTime() const;             // under lock
  void StartHead(Clock_::time_point now);                               // under lock
  bool Has(Fault f) const { return options_.faults.count(f) != 0; }
  ClockTime ClockAt(Clock_::time_point now) const;                     // under lock

  Options options_;
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
  Clock_::time_point started_{};
  std::ofstream logFile_;
  std::vector<std::string> pendingNotes_;   // for options_.onNote

  State state_ = State::Stopped;
  int operatorCode_ = -1;
  std::string password_;
  Clock_::time_point passwordDeadline_{};
  std::string frame_;
  Clock_::time_point frameDeadline_{};
  std::vector<std::string> fields_;
  std::string field_;
  Clock_::time_point fieldDeadline_{}, clockDeadline_{};
  Clock_::time_point fieldLastByte_{};   // when the field being collected got its last byte
  ParamSet params_{};
  int framesAccepted_ = 0, framesRefused_ = 0;
  // The clock runs from a set point: seconds since 1970 of the set fields
  // taken as UTC, the day of week given with them, and when that was.
  long long clockBase_ = 0;
  int clockBaseDow_ = 0;
  Clock_::time_point clockSetAt_{};
  std::vector<std::string> monitor_;
  std::map<char, std::string> customReplies_;
  std::uint32_t rng_ = 1;

  std::deque<Piece> out_;
  bool headStarted_ = false;
  std::size_t headSent_ = 0;
  Clock_::time_point headStart_{};
  Clock_::time_point lineFree_{};
  bool writeBlocked_ = false;

  std::vector<TrafficEntry> traffic_;
};

// UTF-8 text to code page 1250 bytes (the Czech and Slovak letters and
// ASCII; anything else becomes '?').
std::string ToCp1250(std::string_view utf8);
// The other way, for showing; bytes without a letter above show as \xNN.
std::string FromCp1250(std::string_view bytes);

}  // namespace sim
