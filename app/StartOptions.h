#pragma once
// What the command line asks of this run of the program; nothing of it can
// change while the program runs.
#include <memory>

#include "trace/TraceFile.h"

struct TStartOptions {
  // --servis, the technicians' service mode: the connection dialog leaves
  // the operator code, the parameters' "Default" and serial number, and
  // "Nulovat monitor" available; clearing the monitor asks first; the main
  // window's title ends in " – servis".
  bool servis = false;
  // --trace FILE, already open: every byte written to the port and read from
  // it, the port's opening and closing and every error shown go there
  // (app/LineTrace.h). Null without the option.
  std::unique_ptr<trace::TTraceFile> trace;
};
