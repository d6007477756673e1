#pragma once
// The line trace of this run (--trace FILE), wired to the command channel:
// every completed send and every read of the channel as a TX or RX line, the
// port's opening and closing with its COM name and the device it stands
// for, and every error the program shows (TraceError), as comment lines.
// The bytes come from the channel's own signals, so the trace shows exactly
// what the channel sent and read, and costs the pacing one write per line.
// A port that opens the trace's own device (a pseudo-terminal given as the
// trace that is the receiver's line) stops the trace before anything of it
// reaches the line.
namespace trace {
class TTraceFile;
}

#include <string>

// From now on into file, until StopTrace; file must outlive that. Needs the
// installed channel. A first comment line gives the program ("zov-q5r",
// "zov-q5r-cli"), its version and the mode (the file puts the date before
// it); a port already open is named.
void StartTrace(trace::TTraceFile& file, const std::string& program, bool servis);
// Nothing more goes into the file. Does nothing when no trace runs.
void StopTrace();
// An error the program has shown (an error box, a message, a line on
// stderr), as a comment line; nothing when no trace runs.
void TraceError(const std::string& text);
