// The command from its set file to the end of its session.
#include <QString>
#include <algorithm>

#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "receiver/SetCompare.h"

namespace cli {

namespace {

// A refusal of the set file on one line: "Soubor X, řádek N: why".
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

// The set file, read whole and checked before the port is opened; nothing
// and the status 2 when it is refused.
std::optional<params::TValues> LoadFile(const std::string& fileName, TOutput& output) {
  const QString name = QString::fromLocal8Bit(fileName.c_str());
  try {
    return params::LoadSetFile(name);
  } catch (const params::ESetFile& refusal) {
    output.Error(OneLine(params::SetFileRefusal(name, refusal)));
  } catch (const params::ESetFileUnreadable& e) {
    output.Error(e.what());
  }
  return std::nullopt;
}

}  // namespace

int RunCommand(const TOptions& options, TOutput& output, TInterrupt& interrupt) {
  if (options.Command == TCommand::Ports) return RunPorts(output);
  std::optional<params::TValues> file;
  if (options.Command == TCommand::Diff || options.Command == TCommand::Write) {
    file = LoadFile(options.File, output);
    if (!file) return kUsage;
  }
  TConnection connection(options, output, interrupt);
  if (const int status = connection.Open()) return status;
  try {
    if (options.Command == TCommand::Write) return RunWrite(connection, *file);
    if (const TLogin login = connection.LogIn(true); login != TLogin::LoggedIn) return connection.ReportLogin(login);
    output.Info("Přijímač připojen v pořádku");
    switch (options.Command) {
      case TCommand::Read: return RunRead(connection);
      case TCommand::Diff: return RunDiff(connection, *file);
      case TCommand::Clock: return RunClock(connection);
      case TCommand::Monitor: return RunMonitor(connection);
      case TCommand::Ports:
      case TCommand::Write: break;
    }
  } catch (...) {
    return connection.Report(std::current_exception());
  }
  return kDone;
}

}  // namespace cli
