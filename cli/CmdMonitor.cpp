// monitor: the read-out with its completion watch, the monitor to a file or
// stdout, and in service mode its clear.
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <unistd.h>

#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "link/Channel.h"
#include "receiver/MonitorFile.h"
#include "receiver/Readout.h"

namespace cli {

namespace {

const char* const kReadFailed = "Chyba čtení monitoru přijímače";

enum class TWatchEnd { Done, Failed, Stopped, PortFailed };

// The completion watch, ticked as the monitor dialog's timer ticks it,
// until the closing prompt, the last tick, a stop or a failed port.
TWatchEnd Watch(TConnection& connection) {
  int ticks = monitor::kFirstTickCount;
  std::optional<TWatchEnd> end;
  QEventLoop loop;
  QTimer timer;
  timer.setInterval(monitor::kWatchIntervalMs);
  const auto finish = [&](TWatchEnd how) {
    end = how;
    timer.stop();
    loop.quit();
  };
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    switch (monitor::WatchOnChannel(ticks)) {
      case monitor::TWatch::Waiting:
        connection.Out().Progress("Čtení monitoru přijímače: " + std::to_string(RxText().Text().size()) + " B");
        return;
      case monitor::TWatch::Done: return finish(TWatchEnd::Done);
      case monitor::TWatch::Failed: return finish(TWatchEnd::Failed);
    }
  });
  QObject::connect(&connection.Interrupt(), &TInterrupt::Stopped, &loop, [&] { finish(TWatchEnd::Stopped); });
  QObject::connect(&Channel(), &TChannel::PortFailed, &loop, [&] { finish(TWatchEnd::PortFailed); });
  if (connection.Interrupt().StopAsked()) return TWatchEnd::Stopped;
  if (Channel().PortHasFailed()) return TWatchEnd::PortFailed;
  timer.start();
  loop.exec();
  return end.value_or(TWatchEnd::Stopped);
}

// The monitor's lines: CR LF ends each, the last one perhaps not.
int LineCount(const std::string& text) {
  int lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  if (!text.empty() && !text.ends_with("\r\n")) ++lines;
  return lines;
}

// One line from stdin (a terminal), read while the event loop runs; nothing
// at its end or after Ctrl+C.
std::optional<std::string> ReadAnswer(TInterrupt& interrupt) {
  std::string line;
  std::optional<std::string> answer;
  QEventLoop loop;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &loop, [&] {
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) return loop.quit();
    line.append(buffer, static_cast<std::size_t>(n));
    if (const std::size_t end = line.find('\n'); end != std::string::npos) {
      answer = line.substr(0, end);
      loop.quit();
    }
  });
  QObject::connect(&interrupt, &TInterrupt::Stopped, &loop, [&] { loop.quit(); });
  if (interrupt.StopAsked()) return std::nullopt;
  loop.exec();
  return answer;
}

// Whether the technician wants the monitor cleared: asked on a terminal
// (only "a" is yes), --yes without one. The refusal told.
bool ClearConfirmed(TConnection& connection) {
  TOutput& out = connection.Out();
  if (connection.Options().Yes) return true;
  if (::isatty(STDIN_FILENO) != 1) {
    out.Notice("Monitor nebyl vymazán: bez terminálu jej vymaže jen volba --yes");
    return false;
  }
  out.Question("Opravdu vymazat monitor přijímače? [a/N] ");
  const std::optional<std::string> answer = ReadAnswer(connection.Interrupt());
  if (!answer) out.Notice("");
  if (connection.Interrupt().StopAsked()) return false;
  const QString a = QString::fromLocal8Bit(answer.value_or("").c_str()).trimmed();
  if (a == QStringLiteral("a") || a == QStringLiteral("A")) return true;
  out.Notice("Monitor nebyl vymazán");
  return false;
}

}  // namespace

int RunMonitor(TConnection& connection) {
  TOutput& out = connection.Out();
  const TOptions& options = connection.Options();
  out.Info("Čtení monitoru přijímače…");
  if (!monitor::StartReadoutOnChannel()) {
    out.Error(std::string(kReadFailed) + ": přijímač neodpověděl");
    return kNoAnswer;
  }
  switch (Watch(connection)) {
    case TWatchEnd::Done: break;
    case TWatchEnd::Failed:
      out.Error(std::string(kReadFailed) + ": konec monitoru nepřišel do " + std::to_string(monitor::kLastTick) + " s");
      return kNoAnswer;
    case TWatchEnd::Stopped: return connection.Interrupt().Status();
    case TWatchEnd::PortFailed: return kPort;  // told by the port's report
  }
  // The bytes as the receiver sent them, as the dialog saves them.
  const std::string bytes = RxText().Text();
  const int lines = LineCount(bytes);
  std::string savedTo;
  if (!options.Output.empty()) {
    const QString fileName = QString::fromLocal8Bit(options.Output.c_str());
    try {
      SaveMonitorFile(fileName, bytes);
    } catch (const EMonitorFile& e) {
      out.Error(e.what());
      return kNotDone;
    }
    savedTo = QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()).toLocal8Bit().toStdString();
    out.Info("Monitor uložen do " + options.Output + " (řádků: " + std::to_string(lines) + ")");
  } else if (!out.Json()) {
    out.Data(bytes);
  }

  int status = kDone;
  bool cleared = false;
  if (options.Clear) {
    if (ClearConfirmed(connection)) {
      // One "n"; the receiver does not confirm it.
      monitor::ClearMonitor(savedTo);
      cleared = true;
      out.Info("Příkaz k vymazání monitoru odeslán (přijímač vymazání nepotvrzuje)");
    } else {
      status = connection.Interrupt().StopAsked() ? connection.Interrupt().Status() : kNotDone;
    }
  }
  if (out.Json()) {
    TJson object = connection.ResultObject("ok");
    object.Add("lines", lines);
    if (!options.Output.empty()) object.Add("file", options.Output);
    if (options.Clear) object.Add("cleared", cleared);
    out.JsonLine(object);
  }
  return status;
}

}  // namespace cli
