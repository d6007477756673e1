#pragma once
// The program with a simulated receiver, for the tests and the benchmarks:
// no test framework in here.
#include <functional>
#include <memory>
#include <string>

namespace sim {
class Receiver;
}

// Waits in the event loop until pred holds or ms have passed.
bool WaitUntil(const std::function<bool()>& pred, int ms = 5000);

// Creates the program's windows, opens the main window's port on the
// receiver's published name and logs in on it as the reset dialog would
// (the receiver must be started and waiting for the first space, as after
// --reset-on-start). Then the receiver is on its command line, the receiver
// buttons are enabled, the receive text is empty and the receiver's traffic
// log is cleared. Returns what went wrong, "" when nothing did.
std::string StartProgramLoggedIn(sim::Receiver& receiver);
// The same with a receiver published as portName by another process (the
// simulator's own program): the traffic log is that process's.
std::string StartProgramLoggedIn(const std::string& portName);
// With the windows there: the main window's port closed and opened on
// another receiver (started as above), and logged in on it.
std::string LogInOn(sim::Receiver& receiver);
// Destroys the windows again (closing the port).
void EndProgram();

// For a benchmark of a verified write: opens a dialog with open() and, once
// ready() holds, runs write() from a turn of its own (a click that returns
// when the write has ended); closes every message dialog that comes. The
// milliseconds from write() to the message dialog showing report, -1 when
// it did not come.
double TimeToReport(const std::function<void()>& open, const std::function<bool()>& ready,
                    const std::function<void()>& write, const char* report);

// For a benchmark of a whole exchange: a receiver without line pacing,
// started, and the program logged in on it; a watchdog ends the process
// with status 1 if no result has come after timeoutMs (an error box nobody
// closes must not stall the run). Failures are printed under `name`; null
// when the start failed.
std::unique_ptr<sim::Receiver> StartBenchLoggedIn(const char* name, int timeoutMs = 120000);
