// zov-receiver-sim: a simulated ZOV Q5r siren receiver on a pseudo-terminal,
// published as a COM port for the program, the demo and training.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QStringList>

#include "ProgramInfo.h"
#include "portmap/PortMap.h"
#include "sim/Receiver.h"

namespace {

// The help text: Qt lays out the option list between these two parts.
const char* const kDescription = R"(A simulated ZOV Q5r siren receiver. It opens a pseudo-terminal, publishes it
as a COM port in the port map ($XDG_CONFIG_HOME/zov-q5r/ports, default
~/.config/zov-q5r/ports), and answers there as the receiver would.)";

const char* const kMoreHelp = R"(
While it runs:
  Enter                 presses the receiver's reset button
  q then Enter          ends the simulator
  SIGUSR1               presses the reset button too (kill -USR1 PID)
  SIGINT (Ctrl+C), SIGTERM, SIGHUP
                        end the simulator; its port-map entry is removed
  Without a terminal (stdin at end of file) only the signals work.
  Every event (reset, login, refused frame, clock set, ...) is printed.

The line: the pty is raw, 8N1, no echo; the receiver never echoes what it
gets. Before the reset button is pressed it ignores everything.

Login:
  - After a reset, the first space (or CR) brings "\r\nPASSWORD:". Further
    spaces, CRs and LFs before a password are skipped.
  - The next five bytes are the password: "TREMO" brings "\r\nOP:"; anything
    else brings "\r\nCHYBNÉ HESLO\r\nPASSWORD:". A partial password is dropped
    after 1 s without a byte.
  - At "OP:" the next byte, whatever its value, is the operator code; the
    receiver answers "\r\nCMD>" and is on its command line.

Command line (replies in code page 1250, lines ending CR LF, no echo):
  CR    "\r\nCMD>"
  e     "PARAMETRY\r\n" then the 72 bytes of the parameter set as 72
        three-digit decimal fields separated by commas, then "\r\nCMD>".
        No comma stands ahead of the first field.
  z     the next 128 bytes are a frame: 0x55 0xAA, the rest of the set, then
        56 x 0xFF. A whole frame that starts with 0x55 0xAA is stored (its
        bytes 0..71 become the set): "\r\nZAPSÁNO\r\nCMD>". A frame with
        another start, or cut short (no byte for 2 s, counted from "z" too),
        is refused and logged: "\r\nCHYBA ZÁPISU\r\nCMD>". Padding other than
        0xFF is accepted but noted.
  t     "HODINY: D DD.MM.YY HH:MM:SS\r\nCMD>", the running clock; D is the
        day of week, 0 = Sunday. The first colon of that line is the one
        after HODINY.
  s     then seven fields: day of week, day, month, two-digit year, hours,
        minutes, seconds. A field ends at a pause of 250 ms or at one of
        , . : space CR LF. Valid fields set the clock ("\r\nOK\r\nCMD>");
        a field out of range refuses the lot, and 2 s without a byte
        abandons it ("\r\nCHYBA NASTAVENÍ HODIN\r\nCMD>"). The day of week is
        taken as given; an impossible date (31.02.) runs on like a
        calendar (03.03.).
  m     "MONITOR UDÁLOSTÍ: N\r\n", the N event lines (Czech texts, code
        page 1250), each ending CR LF, then "CMD>". No line holds "CMD>".
  n     clears the monitor: "\r\nMONITOR VYMAZÁN\r\nCMD>"
  LF, space, NUL are ignored; any other byte: "\r\n?\r\nCMD>".

State at start: parameter set with addresses 543001, 543002, 600100,
1048575 and four unused, mask groups 1 2 3 4 (rows 1..7) and 5 5 5 5
(row 8), dead time 180, write order 1, serial number 18/52, operator 100,
network 7, one transmitter 15 (bytes 15, 15), key tone 2, A B C = 1 2 3;
the clock at the computer's local time; the monitor as --monitor-lines says.

Cable swap (--swap-after-write 4661,4662): a fleet written one receiver
after another on one port. A write is complete when a frame after "z" was
taken ("ZAPSÁNO", with the fault keeps-old-set too) and the first "e" after
it, the write's read-back, has been answered. As soon as that reply has gone
out whole the receiver becomes the next one of the list: that serial number
in bytes 4 and 5 (high byte first), the rest of its set, its monitor and its
clock as at start (the set written stays with the receiver before), and its
reset just pressed: it waits for the first space of a login. A refused frame
is no write, and a reset before the read-back's reply has gone out whole
leaves the cable where it is. Once the list is used up the receiver stays.

Faults (--fault NAME):
)";

bool ParseInt(const char* s, int lo, int hi, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 10);
  if (errno || end == s || *end || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParsePort(const std::string& s, int& out) {
  const auto number = serial::ParseComNumber(s);
  if (number) out = *number;
  return number.has_value();
}

void PrintHelp(const QCommandLineParser& parser) {
  // Qt's help starts with a usage line naming "<executable_name>" when there
  // is no application object; the program's own line replaces it.
  QString qtHelp = parser.helpText();
  qtHelp.remove(0, qtHelp.indexOf(QLatin1Char('\n')) + 1);
  std::printf("Usage: zov-receiver-sim [OPTION]...\n%s", qtHelp.toLocal8Bit().constData());
  std::fputs(kMoreHelp, stdout);
  for (sim::Fault f : sim::AllFaults()) {
    // Name in a column of its own, the description wrapped beside it.
    std::string line = "  " + std::string(sim::FaultName(f));
    line.resize(18, ' ');
    std::size_t width = line.size();
    const std::string desc(sim::FaultDescription(f));
    std::size_t pos = 0;
    while (pos < desc.size()) {
      std::size_t end = desc.find(' ', pos);
      if (end == std::string::npos) end = desc.size();
      const std::string word = desc.substr(pos, end - pos);
      if (width > 18 && width + 1 + word.size() > 78) {
        line += "\n" + std::string(18, ' ');
        width = 18;
      } else if (width > 18) {
        line += ' ';
        ++width;
      }
      line += word;
      width += word.size();
      pos = end + 1;
    }
    std::printf("%s\n", line.c_str());
  }
  std::fputs("\nFaults apply to every reply while on, login prompts included (cut-reply and the\n"
             "monitor faults excepted); \"vanish\" ends the simulator once the line is gone.\n",
             stdout);
}

int Usage(const std::string& msg) {
  std::fprintf(stderr, "zov-receiver-sim: %s\nTry 'zov-receiver-sim --help'.\n", msg.c_str());
  return 2;
}

// Fills `o` from the command line. Returns the exit status when the program
// is to end at once (after --help, --version or an error), otherwise -1.
int ParseCommandLine(int argc, char** argv, sim::Options& o) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(kDescription));
  const QCommandLineOption port(QStringLiteral("port"),
      QStringLiteral("publish as COMn (1..16); refused when COMn already stands for a device that exists. "
                     "Default: the first free number."), QStringLiteral("COMn|n"));
  const QCommandLineOption noPacing(QStringLiteral("no-pacing"),
      QStringLiteral("send at once instead of about 1.04 ms per byte (a 9600-baud line; a full monitor then "
                     "takes ~30 s)"));
  const QCommandLineOption burst(QStringLiteral("burst"),
      QStringLiteral("with pacing, replies reach the line N bytes at once every N byte times, as a UART's FIFO "
                     "or a USB adapter hands them on (8 to 16 are typical; default 1, one byte at a time)"),
      QStringLiteral("N"));
  const QCommandLineOption monitorLines(QStringLiteral("monitor-lines"),
      QStringLiteral("event lines in the monitor (default 700, ~30 s)"), QStringLiteral("N"));
  const QCommandLineOption fault(QStringLiteral("fault"),
      QStringLiteral("switch a fault on; repeat it or give a comma list"), QStringLiteral("NAME"));
  const QCommandLineOption slowMs(QStringLiteral("slow-ms"),
      QStringLiteral("pause of the \"slow\" fault (default 2500)"), QStringLiteral("N"));
  const QCommandLineOption lateMs(QStringLiteral("late-ms"),
      QStringLiteral("pause of the \"monitor-late\" fault (default 45000)"), QStringLiteral("N"));
  const QCommandLineOption resetOnStart(QStringLiteral("reset-on-start"),
      QStringLiteral("start as if the reset button had just been pressed"));
  const QCommandLineOption swapAfterWrite(QStringLiteral("swap-after-write"),
      QStringLiteral("after each completed write (frame and read-back), become the next receiver of this comma "
                     "list of serial numbers (0..65535), just reset; see \"Cable swap\" below"),
      QStringLiteral("SERIALS"));
  const QCommandLineOption log(QStringLiteral("log"),
      QStringLiteral("write the traffic log to FILE: one entry per read or write, \"ms rx|tx hex |text|\" "
                     "(ms since start, rx = from the program, tx = to it), \"ms -- note\" for events"),
      QStringLiteral("FILE"));
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("this text"));
  const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("the program's version"));
  parser.addOptions(
      {port, noPacing, burst, monitorLines, fault, slowMs, lateMs, resetOnStart, swapAfterWrite, log, help, version});

  if (!parser.parse(args)) return Usage(parser.errorText().toStdString());
  if (parser.isSet(help)) {
    PrintHelp(parser);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("zov-receiver-sim %s\n%s\n", ZOV_VERSION, ZOV_LICENCE_LINE);
    return 0;
  }
  if (!parser.positionalArguments().isEmpty())
    return Usage("unknown argument '" + parser.positionalArguments().first().toStdString() + "'");

  o.pacing = !parser.isSet(noPacing);
  o.resetOnStart = parser.isSet(resetOnStart);
  if (parser.isSet(port) && !ParsePort(parser.value(port).toStdString(), o.port))
    return Usage("--port wants COM1..COM16 or 1..16");
  if (parser.isSet(burst) && !ParseInt(parser.value(burst).toStdString().c_str(), 1, 4096, o.burst))
    return Usage("--burst wants 1..4096");
  if (parser.isSet(monitorLines) && !ParseInt(parser.value(monitorLines).toStdString().c_str(), 0, 100000, o.monitorLines))
    return Usage("--monitor-lines wants 0..100000");
  if (parser.isSet(slowMs) && !ParseInt(parser.value(slowMs).toStdString().c_str(), 0, 600000, o.slowDelayMs))
    return Usage("--slow-ms wants 0..600000");
  if (parser.isSet(lateMs) && !ParseInt(parser.value(lateMs).toStdString().c_str(), 0, 600000, o.monitorLateMs))
    return Usage("--late-ms wants 0..600000");
  if (parser.isSet(log)) {
    o.logPath = parser.value(log).toLocal8Bit().toStdString();
    if (o.logPath.empty()) return Usage("--log wants a file name");
  }
  for (const QString& list : parser.values(swapAfterWrite)) {
    for (const QString& serial : list.split(QLatin1Char(','))) {
      int number = 0;
      if (!ParseInt(serial.toStdString().c_str(), 0, 65535, number))
        return Usage("--swap-after-write wants serial numbers 0..65535 separated by commas, not '" +
                     list.toStdString() + "'");
      o.swapSerials.push_back(number);
    }
  }
  for (const QString& list : parser.values(fault)) {
    for (const QString& name : list.split(QLatin1Char(','))) {
      const auto f = sim::FaultFromName(name.toStdString());
      if (!f) return Usage("unknown fault '" + name.toStdString() + "'");
      o.faults.insert(*f);
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  sim::Options o;
  if (const int status = ParseCommandLine(argc, argv, o); status >= 0) return status;

  // Signals arrive through a signalfd; blocking them before the receiver's
  // thread starts keeps them away from that thread too.
  sigset_t sigs;
  sigemptyset(&sigs);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&sigs, s);
  pthread_sigmask(SIG_BLOCK, &sigs, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  const int sfd = ::signalfd(-1, &sigs, SFD_CLOEXEC);
  const int efd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (sfd < 0 || efd < 0) {
    std::perror("zov-receiver-sim: signalfd/eventfd");
    return 1;
  }
  o.onNote = [efd](const std::string& note) {
    std::printf("[receiver] %s\n", note.c_str());
    std::fflush(stdout);
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(efd, &one, sizeof one);
  };

  sim::Receiver rx(o);
  try {
    rx.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zov-receiver-sim: %s\n", e.what());
    return 1;
  }
  std::printf("zov-receiver-sim: the receiver is on %s (device %s, port map %s)\n", rx.PortName().c_str(),
              rx.DevicePath().c_str(), serial::PortMapDir().c_str());
  std::printf("In zov-q5r choose %s and connect; when it asks for the reset, press Enter here\n"
              "(or: kill -USR1 %d). q then Enter or Ctrl+C ends the simulator.\n",
              rx.PortName().c_str(), static_cast<int>(::getpid()));
  if (!o.swapSerials.empty()) {
    std::printf("After each completed write the next receiver is on the cable, just reset:");
    for (int serial : o.swapSerials) std::printf(" %d", serial);
    std::printf("\n");
  }
  if (!o.faults.empty()) {
    std::printf("Faults on:");
    for (auto f : o.faults) std::printf(" %s", std::string(sim::FaultName(f)).c_str());
    std::printf("\n");
  }
  std::fflush(stdout);

  bool stdinOpen = true;
  std::string line;
  bool quit = false;
  while (!quit) {
    pollfd fds[3] = {{sfd, POLLIN, 0}, {efd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (::poll(fds, stdinOpen ? 3 : 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::perror("zov-receiver-sim: poll");
      break;
    }
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo si{};
      if (::read(sfd, &si, sizeof si) == static_cast<ssize_t>(sizeof si)) {
        if (si.ssi_signo == SIGUSR1) rx.PressReset();
        else quit = true;
      }
    }
    if (fds[1].revents & POLLIN) {
      std::uint64_t n;
      [[maybe_unused]] ssize_t r = ::read(efd, &n, sizeof n);
      if (rx.CurrentState() == sim::State::Vanished) {
        std::printf("zov-receiver-sim: the line is gone; ending.\n");
        quit = true;
      }
    }
    if (stdinOpen && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buf[256];
      const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        stdinOpen = false;   // no terminal: signals only
        continue;
      }
      for (ssize_t k = 0; k < n; ++k) {
        if (buf[k] != '\n') { line += buf[k]; continue; }
        if (line == "q" || line == "quit") quit = true;
        else rx.PressReset();
        line.clear();
      }
    }
  }
  const std::string name = rx.PortName();
  rx.Stop();
  if (!name.empty()) std::printf("zov-receiver-sim: %s removed from the port map.\n", name.c_str());
  return 0;
}
