#pragma once
// What the command line asks of this run of the program; nothing of it can
// change while the program runs.
struct TStartOptions {
  // --servis, the technicians' service mode: the connection dialog leaves
  // the operator code, the parameters' "Default" and serial number, and
  // "Nulovat monitor" available; clearing the monitor asks first; the main
  // window's title ends in " – servis".
  bool servis = false;
};
