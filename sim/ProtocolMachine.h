#pragma once
// The simulated receiver's side of the protocol, as a machine fed bytes and
// a clock: the login after a reset, the command line with "e", "z", "t",
// "s", "m" and "n", the faults that shape its replies, and the cable swap
// that makes it another receiver after each completed write.
//
// It has no line, thread or sleep of its own. Whoever drives it (the
// Receiver on a pty in real time, a test in virtual time) hands it what
// arrives with the moment it arrived, calls Advance when NextDeadline comes,
// and takes its replies piece by piece: each piece goes out once the line
// is free and its pause has passed. Plain C++; not thread-safe.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Cp1250.h"

namespace sim {

using Time = std::chrono::steady_clock::time_point;

inline constexpr int kParamSize = 72;      // the parameter set
inline constexpr int kFrameSize = 128;     // the frame after "z": the set, then 56 x 0xFF
inline constexpr const char* kPassword = "TREMO";

using ParamSet = std::array<std::uint8_t, kParamSize>;

// Faults the receiver can be told to show. Several may be active at once.
enum class Fault {
  Silent,        // sends nothing at all (still reads and logs what arrives)
  NoOp,          // accepts the password but sends no "OP:" prompt
  NoCmdPrompt,   // answers a lone CR with a line break but no "CMD>"
  CutReply,      // replies to "e", "t" and "m" stop halfway, no "CMD>"
  Garbage,       // noise ahead of every reply, NUL bytes inside it
  Split,         // replies go out in many small writes with pauses between
  Slow,          // every reply starts only after ProtocolOptions::slowDelayMs
  MonitorLate,   // the monitor's closing "CMD>" comes ProtocolOptions::monitorLateMs late
  MonitorNoEnd,  // the monitor's closing "CMD>" never comes
  Vanish,        // the line closes halfway through the next reply on the command line
  KeepsOldSet,   // answers a parameter frame as written but keeps its old set
  ClockOff,      // takes a clock write but sets itself an hour later than its fields
  ResetInLogin,  // resets itself right after it asks "OP:": the operator code goes unanswered
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

struct ProtocolOptions {
  int monitorLines = 700;    // about 30 s of monitor at 9600 baud
  std::set<Fault> faults{};
  bool resetOnStart = false; // start as if the reset button had just been pressed
  int slowDelayMs = 2500;    // Slow: pause before every reply
  int monitorLateMs = 45000; // MonitorLate: pause before the monitor's "CMD>"
  int splitGapMs = 10;       // Split: pause between the pieces of a reply
  int frameTimeoutMs = 2000; // "z": a frame with no byte for this long is refused
  int fieldGapMs = 250;      // "s": a pause this long ends a clock field
  int clockTimeoutMs = 2000; // "s": no byte for this long abandons the clock write
  int passwordIdleMs = 1000; // a partial password older than this is dropped
  unsigned seed = 1;         // noise and split points
  // A fleet written one receiver after another on one port: after each
  // completed write (a frame taken, then the reply to the "e" that reads it
  // back gone out whole) the cable goes to the next receiver, which has the
  // next of these serial numbers (0..65535), the default set otherwise, and
  // has just been reset. Once they are used up the receiver stays.
  std::vector<int> swapSerials{};
};

// A piece of a reply. It goes out once the pieces before it have gone out
// whole and then `pause` has passed.
struct Piece {
  std::string bytes;
  std::chrono::milliseconds pause{0};
  bool closeLine = false;    // instead of bytes: the line closes here (Vanish)
};

class ProtocolMachine {
 public:
  // The clock starts at the computer's local time, taken as of `now`.
  explicit ProtocolMachine(ProtocolOptions options, Time now);

  // The line opens: the receiver waits for its reset (or has just had it,
  // with resetOnStart).
  void Open();
  // The line has gone (why: for the note); nothing more is sent or read.
  void LineClosed(const std::string& why);
  void Stop();
  // Drops pending output and waits for a space; false when there is no line.
  bool PressReset();

  // What arrives from the program, with the moment it arrived (the
  // timeouts due by then act first).
  void Receive(std::string_view bytes, Time at);
  // Acts on the timeouts due at `now` (a partial password, a frame or a
  // clock write cut short); false when none was.
  bool Advance(Time now);
  // When Advance has something to do next; nullopt when nothing waits.
  std::optional<Time> NextDeadline() const;

  // The replies, oldest piece first. The driver asks for the next piece
  // only once the one before has gone out whole: a cable swap due after
  // that piece happens then, at `now`, and drops whatever the receiver
  // that was there still had to say.
  bool HasOutput() const { return !out_.empty() || swapIn_.has_value(); }
  std::optional<Piece> TakePiece(Time now);
  // The events since the last call (reset, login, refused frame, clock set,
  // ...), oldest first.
  std::vector<std::string> TakeNotes();

  void SetFault(Fault fault, bool on);
  void ClearFaults();
  const std::set<Fault>& Faults() const { return options_.faults; }

  State CurrentState() const { return state_; }
  int OperatorCode() const { return operatorCode_; }   // the byte given at "OP:", -1 before any

  static ParamSet DefaultParams();
  const ParamSet& Params() const { return params_; }
  void SetParams(const ParamSet& params) { params_ = params; }
  int SerialNumber() const { return params_[4] << 8 | params_[5]; }   // bytes 4 and 5, high byte first
  // Over all the receivers it has been.
  int FramesAccepted() const { return framesAccepted_; }
  int FramesRefused() const { return framesRefused_; }
  int Swaps() const { return static_cast<int>(swapsDone_); }   // cable swaps so far

  ClockTime ClockAt(Time now) const;                     // running from the last set
  void SetClock(const ClockTime& time, Time now);        // fields normalised like a calendar

  static std::vector<std::string> DefaultMonitor(int lines);  // code page 1250 bytes
  const std::vector<std::string>& MonitorLines() const { return monitor_; }   // without line ends
  void SetMonitorLines(std::vector<std::string> lines) { monitor_ = std::move(lines); }

  // Scripts the reply to a command byte ('\r', 'e', 't', 'm', 'n' or any
  // unknown byte) for edge cases: from now on that command is answered with
  // exactly these bytes (the faults still shape them; "n" still clears the
  // monitor). nullopt restores the receiver's own reply. Not for 'z' or 's',
  // whose data phases stay as they are.
  void SetCustomReply(char command, std::optional<std::string> bytes);

 private:
  void Note(std::string text) { notes_.push_back(std::move(text)); }
  // What a press of the reset button clears: pending output, half-received
  // input, a write awaiting its read-back.
  void ClearForReset();
  void SetClockToComputer(Time now);
  void SwapReceiver(Time now);
  void HandleByte(std::uint8_t b, Time at);
  void CommandByte(std::uint8_t b, Time at);
  void EndClockField();
  void FinishFrame(bool cutShort);
  void ApplyClockFields(Time lastByte);
  // Queues a reply shaped by the active faults; false when it will not go
  // out whole (silent, cut short, or the line vanishing in it).
  bool Reply(std::string text, bool commandReply = true, bool cuttable = false);
  void ReplyMonitor();
  std::string Noise();
  std::vector<Piece> SplitPieces(const std::string& text) const;
  bool Has(Fault f) const { return options_.faults.count(f) != 0; }

  ProtocolOptions options_;
  State state_ = State::Stopped;
  int operatorCode_ = -1;
  std::string password_;
  Time passwordDeadline_{};
  std::string frame_;
  Time frameDeadline_{};
  std::vector<std::string> fields_;
  std::string field_;
  Time fieldDeadline_{}, clockDeadline_{};
  Time fieldLastByte_{};   // when the field being collected got its last byte
  ParamSet params_{};
  int framesAccepted_ = 0, framesRefused_ = 0;
  // A frame was taken and the "e" that reads it back has not come yet.
  bool awaitingReadBack_ = false;
  // The pieces still to go out before the cable swap; nullopt when none is due.
  std::optional<std::size_t> swapIn_;
  std::size_t swapsDone_ = 0;
  // The clock runs from a set point: seconds since 1970 of the set fields
  // taken as UTC, the day of week given with them, and when that was.
  long long clockBase_ = 0;
  int clockBaseDow_ = 0;
  Time clockSetAt_{};
  std::vector<std::string> monitor_;
  std::map<char, std::string> customReplies_;
  std::uint32_t rng_ = 1;
  std::deque<Piece> out_;
  std::vector<std::string> notes_;
};

}  // namespace sim
