#pragma once
// The line trace of this run (zov-q5r --trace FILE), wired to the program:
// every completed send and every read of the command channel as a TX or RX
// line, the main window's port opening and closing with its COM name and the
// device it stands for, and every error the program shows, as comment lines.
// The bytes come from the channel's own signals, so the trace shows exactly
// what the channel sent and read, and costs the pacing one write per line.
// A port that opens the trace's own device (a pseudo-terminal given as the
// trace that is the receiver's line) stops the trace before anything of it
// reaches the line.
namespace trace {
class TTraceFile;
}

// From now on into file, until StopTrace; file must outlive that. Needs the
// windows (CreateForms). A first comment line gives the version and the
// mode (the file puts the date before it); a port already open is named.
void StartTrace(trace::TTraceFile& file, bool servis);
// Nothing more goes into the file. Does nothing when no trace runs.
void StopTrace();
