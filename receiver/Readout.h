#pragma once
// Reading out the receiver's event monitor, as a terminal user would: a
// carriage return must bring the command prompt "CMD>"; then "m" makes the
// receiver send a first line, its event lines and "CMD>" again. A full
// monitor takes about 30 s at 9600 baud, so the dialog watches for the
// closing prompt once a second and gives up at the 40th look. "n" clears the
// monitor; the receiver's answer to it is not looked at. This file is the one
// place these rules live; the monitor dialog and the command-line client
// drive them (on the program's command channel), each from a timer of its
// own for the watch.
#include <functional>
#include <string>
#include <string_view>

class TReceiveText;

namespace monitor {

// The monitor's lines laid out as its memo shows them, this many columns
// wide: the first and the last of them are the receiver's heading and its
// prompt, which the read-out leaves out (TrimToMonitor). Whoever reads the
// monitor lays the receive text out so, windows or none.
inline constexpr int kWrapColumns = 100;

inline constexpr std::string_view kPrompt = "CMD>";
inline constexpr std::string_view kWake = "\r";       // brings the prompt
inline constexpr std::string_view kReadCommand = "m";
inline constexpr std::string_view kClearCommand = "n";
inline constexpr int kPromptWaitMs = 1000;            // after the carriage return
inline constexpr int kReadWaitMs = 500;               // after "m", before the watch starts
inline constexpr int kClearWaitMs = 500;              // after "n", before the dialog closes
inline constexpr int kWatchIntervalMs = 1000;         // the completion watch's tick
inline constexpr int kLastTick = 40;                  // the tick that gives up

// What the start of a read-out needs of the line. Send and Sleep may throw
// (a port error, also one reported during a wait, ends the start where it
// happens).
struct TMonitorLine {
  std::function<void(std::string_view text)> Send;
  std::function<void(int milliseconds)> Sleep;          // keeps the windows and the receive path running
  std::function<bool(std::string_view text)> Received;  // the receive text contains it
  std::function<void()> ClearReceived;
};

// Sends a carriage return and waits; without the prompt in the receive text
// that is all (false: the receiver is not on its command line). Otherwise
// clears the receive text, sends "m" and waits (true: the monitor is on its
// way and the watch is to start). The caller clears the receive text
// before.
bool StartReadout(const TMonitorLine& line);

enum class TWatch {
  Waiting,  // no closing prompt yet, time left
  Done,     // the closing prompt is in: the receive text holds the monitor
  Failed,   // the 40th tick without it: the read-out is given up
};

// The tick counter that a read-out starts with; every tick raises it first.
inline constexpr int kFirstTickCount = 1;

// One tick of the completion watch: raises ticks by one, then decides. A
// prompt found counts even at the last tick.
TWatch WatchTick(int& ticks, bool promptReceived);

// Leaves the monitor lines only: deletes the first displayed line (the
// receiver's heading) and then the last one (the closing prompt), as the
// memo lays them out.
void TrimToMonitor(TReceiveText& text);

// ---- on the program's command channel

// A read-out starts: the activity counter at 0, the receive text cleared,
// then StartReadout. A port error is thrown.
bool StartReadoutOnChannel();
// One tick of the watch over the receive text; once Done, the receive text
// holds the monitor lines only (TrimToMonitor).
TWatch WatchOnChannel(int& ticks);
// The clear: one "n", its record in the write log (savedTo: the file the
// read-out before it was saved to, "" when it was not; a record that cannot
// be written goes to the application's error display), then the wait. A
// port error before the "n" went out is thrown with nothing recorded.
void ClearMonitor(const std::string& savedTo);

}  // namespace monitor
