#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "ProgramInfo.h"
#include "trace/TraceFile.h"

namespace {

const char* const kDescription =
    "Configuration tool for the ZOV Q5r siren receiver on a serial port: it logs in on the\n"
    "receiver, reads and writes its parameters, reads and sets its clock, and reads out,\n"
    "saves and clears its event monitor. Its windows are in Czech.\n"
    "\n"
    "Ports are named COM1 to COM16. COMn is the entry COMn of the port map\n"
    "$XDG_CONFIG_HOME/zov-q5r/ports (default ~/.config/zov-q5r/ports), a symlink to a\n"
    "device; the serial devices present take the numbers that the map leaves free.\n"
    "Opening a port needs membership of the group dialout.\n"
    "\n"
    "Qt's own options (-platform, -session, -style and the others) go to Qt. See zov-q5r(1).";

// Qt's own options, which the application object takes from the command
// line (QGuiApplication, QApplication and the X11 platform), with one dash
// or two. A session manager restoring the desktop starts the program with
// -session ID.
struct TQtOption {
  const char* name;
  bool value;   // the next argument is its value
  bool equals;  // "-name=value" too
};
const TQtOption kQtOptions[] = {
    {"platform", true, false},      {"platformpluginpath", true, false}, {"platformtheme", true, false},
    {"plugin", true, false},        {"qwindowgeometry", true, false},    {"qwindowicon", true, false},
    {"qwindowtitle", true, false},  {"session", true, false},            {"style", true, true},
    {"stylesheet", true, true},     {"qmljsdebugger", true, true},       {"display", true, false},
    {"geometry", true, false},      {"title", true, false},              {"icon", true, false},
    {"name", true, false},          {"visual", true, false},             {"reverse", false, false},
    {"widgetcount", false, false},  {"nograb", false, false},            {"dograb", false, false},
    {"sync", false, false},         {"testability", false, false},
};

// The arguments without Qt's own options, which the program leaves to the
// application object; *missing names a Qt option given without its value.
QStringList WithoutQtOptions(const QStringList& args, QString* missing) {
  QStringList kept = args.mid(0, 1);
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == QLatin1String("--")) {  // what follows is no option
      kept << args.mid(i);
      break;
    }
    const QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const auto qt = std::find_if(std::begin(kQtOptions), std::end(kQtOptions), [&](const TQtOption& o) {
      return name == QLatin1String(o.name) || (o.equals && name.startsWith(QLatin1String(o.name) + '='));
    });
    if (!arg.startsWith(QLatin1Char('-')) || qt == std::end(kQtOptions)) {
      kept << arg;
      continue;
    }
    if (!qt->value || name.contains(QLatin1Char('='))) continue;
    if (++i == args.size()) {
      *missing = arg;
      break;
    }
  }
  return kept;
}

}  // namespace

std::optional<int> HandleCommandLine(int argc, char** argv, TStartOptions& options) {
  QStringList all;
  for (int i = 0; i < argc; ++i) all << QString::fromLocal8Bit(argv[i]);
  QString missing;
  const QStringList args = WithoutQtOptions(all, &missing);
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(kDescription));
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Shows this help and ends."));
  const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version and ends."));
  const QCommandLineOption servisOption(
      QStringLiteral("servis"),
      QStringLiteral("Service mode, for technicians who bring a receiver into service: the connection "
                     "dialog leaves the operator code (1..254), the parameters' \"Default\" and serial "
                     "number, and \"Nulovat monitor\" (which asks first) available. The main window's "
                     "title ends in \" \u2013 servis\"."));
  const QCommandLineOption traceOption(
      QStringLiteral("trace"),
      QStringLiteral("Appends every byte written to the port and read from it to FILE, one line per "
                     "write or read: the time with milliseconds, TX or RX, the bytes in hex and the "
                     "printable ones between bars (14:03:07.512 TX 0D 65 |.e|); the port's opening and "
                     "closing, every error shown and the date as lines with #. FILE may be a file, a "
                     "pipe that a program reads or a terminal, never a serial port. A FILE that cannot "
                     "take the trace ends the program with status 2; one that cannot be written later "
                     "is reported and the trace stops."),
      QStringLiteral("FILE"));
  parser.addOptions({servisOption, traceOption, help, version});

  auto refuse = [](const QString& why) {
    std::fprintf(stderr, "zov-q5r: %s\nTry 'zov-q5r --help'.\n", why.toLocal8Bit().constData());
    return 2;
  };
  if (!missing.isEmpty()) return refuse(QStringLiteral("Missing value after '%1'.").arg(missing));
  if (!parser.parse(args)) return refuse(parser.errorText());
  if (!parser.positionalArguments().isEmpty())
    return refuse(QStringLiteral("unexpected argument '%1'; the program takes none.")
                      .arg(parser.positionalArguments().first()));
  if (parser.isSet(help)) {
    // Without an application object Qt's usage line names
    // "<executable_name>"; the program's own line replaces it.
    QString text = parser.helpText();
    text.remove(0, text.indexOf(QLatin1Char('\n')) + 1);
    std::printf("Usage: zov-q5r [OPTION]...\n%s", text.toLocal8Bit().constData());
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("zov-q5r %s\n%s\n", ZOV_VERSION, ZOV_LICENCE_LINE);
    return 0;
  }
  options.servis = parser.isSet(servisOption);
  if (parser.isSet(traceOption)) {
    const std::string path = parser.value(traceOption).toLocal8Bit().toStdString();
    std::string why;
    options.trace = trace::TTraceFile::Open(path, &why);
    if (!options.trace) {
      std::fprintf(stderr, "zov-q5r: cannot open the trace file '%s': %s\n", path.c_str(), why.c_str());
      return 2;
    }
  }
  return std::nullopt;
}
