#include "cli/Options.h"

#include <QCommandLineParser>
#include <QStringList>
#include <initializer_list>

#include "ProgramInfo.h"
#include "link/Login.h"
#include "portmap/ComName.h"

namespace cli {

namespace {

const char* const kHelp = R"(Usage: zov-q5r-cli [OPTION]... COMMAND [ARGUMENT]...
Command-line client for the ZOV Q5r siren receiver: it logs in on the receiver
on a serial port (after a press of its reset button, unless it is still logged
in) and does what the windows of zov-q5r do. Options may stand before or after
the command. Messages go to stderr, in Czech; data go to stdout.

Commands:
  ports                 the COM names and the devices they stand for
  read [-o FILE] [--force]
                        the receiver's parameter set as a set file (stdout
                        without -o)
  diff FILE [--force]   the fields in which the set file FILE and the
                        receiver differ
  write FILE [--each [--count N]] [--no-backup] [--force]
                        writes the set file FILE into the receiver and reads
                        it back; a backup of what the receiver held goes to
                        zalohy/ in the data folder first
  clock [--set-from-pc] the receiver's clock, the computer's and the
                        difference; sets the receiver's from the computer's
  monitor [-o FILE] [--clear]
                        the receiver's event monitor (stdout without -o)

Options of the commands:
  -o FILE               read, monitor: write to FILE instead of stdout
  --force               read, diff, write: go on after a damaged read-out
  --each                write: one receiver after another on the port, each
                        after its reset, until Ctrl+C
  --count N             write --each: end after N receivers
  --no-backup           write: save no backup before the write
  --set-from-pc         clock: set the receiver's clock from the computer's
  --clear               monitor: clear the monitor after it was saved with
                        -o (with --servis only; asks on a terminal)

Options of every command:
  --port COMn           the receiver's port, COM1 to COM16 (default COM1)
  --json                one JSON object on a line of stdout for each result
  --trace FILE          append every byte sent and received to FILE
  --servis              service mode, as zov-q5r --servis
  --operator N          the operator code, 1 to 254 (default 100; with
                        --servis only)
  --login-timeout SECONDS
                        how long to wait for the login (default 120; with
                        --each for the first receiver only)
  -q                    errors only on stderr (and the request to press the
                        reset button)
  --yes                 answer the question of monitor --clear with yes
  -h, --help            show this help and end
  --version             show the version and end

Exit status:
  0    done (diff: the same; write: verified, or nothing to change)
  1    not done as asked (diff: different; write: not verified; a file or
       stdout that cannot be written; a clear not confirmed)
  2    usage, a set file refused, or a trace file that cannot take the trace
  3    the port cannot be opened, or was lost
  4    the receiver did not answer (no login within the time, no prompt, no
       reply, or a monitor that did not end within 40 seconds)
  5    a damaged read-out refused (without --force)
  130  Ctrl+C (a parameter frame that has started is finished first; a second
       Ctrl+C stops it at once)

See zov-q5r-cli(1).
)";

struct TCommandName {
  const char* name;
  TCommand command;
  int arguments;
};
const TCommandName kCommands[] = {
    {"ports", TCommand::Ports, 0}, {"read", TCommand::Read, 0},   {"diff", TCommand::Diff, 1},
    {"write", TCommand::Write, 1}, {"clock", TCommand::Clock, 0}, {"monitor", TCommand::Monitor, 0},
};

QString Q(const char* s) { return QString::fromUtf8(s); }
std::string S(const QString& s) { return s.toLocal8Bit().toStdString(); }

// A whole decimal number from min up, or nothing.
std::optional<int> Number(const QString& text, int min, int max) {
  bool ok = false;
  const int n = text.toInt(&ok, 10);
  if (!ok || text.startsWith(QLatin1Char('+')) || n < min || n > max) return std::nullopt;
  return n;
}

}  // namespace

const char* CommandName(TCommand command) {
  for (const TCommandName& c : kCommands)
    if (c.command == command) return c.name;
  return "";
}

std::string HelpText() { return kHelp; }

TParsed ParseCommandLine(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

  QCommandLineParser parser;
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  const QCommandLineOption help({Q("h"), Q("help")}, {});
  const QCommandLineOption version(Q("version"), {});
  const QCommandLineOption port(Q("port"), {}, Q("COMn"));
  const QCommandLineOption json(Q("json"), {});
  const QCommandLineOption traceFile(Q("trace"), {}, Q("FILE"));
  const QCommandLineOption servis(Q("servis"), {});
  const QCommandLineOption operatorCode(Q("operator"), {}, Q("N"));
  const QCommandLineOption loginTimeout(Q("login-timeout"), {}, Q("SECONDS"));
  const QCommandLineOption quiet(Q("q"), {});
  const QCommandLineOption yes(Q("yes"), {});
  const QCommandLineOption output(Q("o"), {}, Q("FILE"));
  const QCommandLineOption force(Q("force"), {});
  const QCommandLineOption each(Q("each"), {});
  const QCommandLineOption count(Q("count"), {}, Q("N"));
  const QCommandLineOption noBackup(Q("no-backup"), {});
  const QCommandLineOption setFromPc(Q("set-from-pc"), {});
  const QCommandLineOption clear(Q("clear"), {});
  parser.addOptions({help, version, port, json, traceFile, servis, operatorCode, loginTimeout, quiet, yes, output,
                     force, each, count, noBackup, setFromPc, clear});
  if (!parser.parse(args)) return TUsageError{S(parser.errorText())};
  if (parser.isSet(help)) return TPrint{HelpText()};
  if (parser.isSet(version)) return TPrint{std::string("zov-q5r-cli " ZOV_VERSION "\n" ZOV_LICENCE_LINE "\n")};

  const QStringList positional = parser.positionalArguments();
  if (positional.isEmpty()) return TUsageError{"no command given (ports, read, diff, write, clock or monitor)"};
  const TCommandName* command = nullptr;
  for (const TCommandName& c : kCommands)
    if (positional[0] == Q(c.name)) command = &c;
  if (!command) return TUsageError{"unknown command '" + S(positional[0]) + "'"};
  const qsizetype given = positional.size() - 1;
  if (given < command->arguments)
    return TUsageError{std::string(command->name) + ": the set file is missing"};
  if (given > command->arguments)
    return TUsageError{std::string(command->name) + ": unexpected argument '" + S(positional[command->arguments + 1]) +
                       "'"};

  // The options that belong to some commands only.
  const struct {
    const QCommandLineOption& option;
    const char* name;
    std::initializer_list<TCommand> commands;
  } own[] = {
      {output, "-o", {TCommand::Read, TCommand::Monitor}},
      {force, "--force", {TCommand::Read, TCommand::Diff, TCommand::Write}},
      {each, "--each", {TCommand::Write}},
      {count, "--count", {TCommand::Write}},
      {noBackup, "--no-backup", {TCommand::Write}},
      {setFromPc, "--set-from-pc", {TCommand::Clock}},
      {clear, "--clear", {TCommand::Monitor}},
  };
  for (const auto& o : own) {
    if (!parser.isSet(o.option)) continue;
    bool allowed = false;
    for (TCommand c : o.commands) allowed = allowed || c == command->command;
    if (!allowed) return TUsageError{std::string(o.name) + " is not an option of " + command->name};
  }

  TOptions options;
  options.Command = command->command;
  if (command->arguments) options.File = S(positional[1]);
  options.Json = parser.isSet(json);
  options.Servis = parser.isSet(servis);
  options.Quiet = parser.isSet(quiet);
  options.Yes = parser.isSet(yes);
  options.Force = parser.isSet(force);
  options.Each = parser.isSet(each);
  options.NoBackup = parser.isSet(noBackup);
  options.SetFromPc = parser.isSet(setFromPc);
  options.Clear = parser.isSet(clear);
  if (parser.isSet(output)) {
    options.Output = S(parser.value(output));
    if (options.Output.empty()) return TUsageError{"-o needs a file name"};
  }
  if (parser.isSet(traceFile)) {
    options.Trace = S(parser.value(traceFile));
    if (options.Trace.empty()) return TUsageError{"--trace needs a file name"};
  }
  if (parser.isSet(port)) {
    const std::optional<int> number = serial::ParseComNumber(parser.value(port).toStdString());
    if (!number) return TUsageError{"--port: '" + S(parser.value(port)) + "' is no port name (COM1 to COM16)"};
    options.Port = serial::ComName(*number);
  }
  if (parser.isSet(operatorCode)) {
    if (!options.Servis) return TUsageError{"--operator is for the service mode only (--servis)"};
    const std::optional<int> code = Number(parser.value(operatorCode), 1, 254);
    if (!code || !login::IsValidOperatorCode(*code))
      return TUsageError{"--operator: '" + S(parser.value(operatorCode)) + "' is no operator code (1 to 254)"};
    options.OperatorCode = *code;
  }
  if (parser.isSet(loginTimeout)) {
    // A week at most: a login waits for a technician, not for ever.
    const std::optional<int> seconds = Number(parser.value(loginTimeout), 1, 7 * 24 * 3600);
    if (!seconds)
      return TUsageError{"--login-timeout: '" + S(parser.value(loginTimeout)) +
                         "' is no number of seconds (1 to 604800)"};
    options.LoginTimeoutS = *seconds;
  }
  if (parser.isSet(count)) {
    if (!options.Each) return TUsageError{"--count is for write --each only"};
    const std::optional<int> n = Number(parser.value(count), 1, 1000000);
    if (!n) return TUsageError{"--count: '" + S(parser.value(count)) + "' is no number of receivers (1 or more)"};
    options.Count = *n;
  }
  if (options.Clear && !options.Servis) return TUsageError{"--clear is for the service mode only (--servis)"};
  if (options.Clear && options.Output.empty())
    return TUsageError{"--clear needs -o FILE: the monitor is saved before it is cleared"};
  return options;
}

}  // namespace cli
