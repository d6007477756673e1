#pragma once
// The client's command line: one command and its arguments, the options
// common to all commands and those of the command given, in any order. Read
// before the application object exists, so that --help and --version are
// quick and need nothing.
#include <optional>
#include <string>
#include <variant>

namespace cli {

enum class TCommand { Ports, Read, Diff, Write, Clock, Monitor };

struct TOptions {
  TCommand Command = TCommand::Ports;
  std::string File;       // diff, write: the set file
  std::string Output;     // read, monitor: -o FILE ("" without)
  std::string Port = "COM1";
  bool Json = false;
  std::string Trace;      // --trace FILE ("" without)
  bool Servis = false;
  int OperatorCode = 100;
  int LoginTimeoutS = 120;
  bool Quiet = false;
  bool Yes = false;
  bool Force = false;     // read, diff, write
  bool Each = false;      // write
  int Count = 0;          // write --each: 0 = no end but Ctrl+C
  bool NoBackup = false;  // write
  bool SetFromPc = false; // clock
  bool Clear = false;     // monitor
};

// The command's name as --json gives it ("read").
const char* CommandName(TCommand command);

// What the command line asks for: a run with options, or an end at once
// with a text for stdout (--help, --version) or a usage error for stderr
// (the line without "zov-q5r-cli: ").
struct TPrint {
  std::string Text;
};
struct TUsageError {
  std::string Why;
};
using TParsed = std::variant<TOptions, TPrint, TUsageError>;

TParsed ParseCommandLine(int argc, char** argv);

// The help: the commands, the options and the exit statuses.
std::string HelpText();

}  // namespace cli
