#pragma once
// The program's command line. It takes no arguments of its own, only --help
// and --version; anything else is refused with exit status 2. It is read
// before the application object exists, so that --help and --version work
// without a display.
#include <optional>

// Returns the exit status when the program is to end at once (0 after
// --help or --version, printed on stdout; 2 after an error, printed on
// stderr), or nothing when the program is to start.
std::optional<int> HandleCommandLine(int argc, char** argv);
