#pragma once
// The program's command line: --servis and --trace FILE for technicians and
// support, --help and --version, and Qt's own options (-platform, -session
// ...), which are left to the application object; anything else is refused
// with exit status 2. It is read before the application object exists, so
// that --help and --version work and an unknown option is refused without
// a display, and a trace file that cannot be opened is refused at once.
#include <optional>

#include "app/StartOptions.h"

// Returns the exit status when the program is to end at once (0 after
// --help or --version, printed on stdout; 2 after an error, printed on
// stderr), or nothing when the program is to start with options.
std::optional<int> HandleCommandLine(int argc, char** argv, TStartOptions& options);
