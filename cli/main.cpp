// zov-q5r-cli: the command-line client for the ZOV Q5r siren receiver.
#include <QCoreApplication>

#include "ProgramInfo.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "files/Files.h"

int main(int argc, char** argv) {
  // A pipe whose reader has gone (zov-q5r-cli ports | head -0) or the file
  // size limit make a write fail, which is told, instead of ending the
  // program.
  files::IgnoreWriteSignals();
  const cli::TParsed parsed = cli::ParseCommandLine(argc, argv);
  if (const auto* print = std::get_if<cli::TPrint>(&parsed))
    return cli::WriteAll(1, print->Text) ? cli::kDone : cli::kNotDone;
  if (const auto* usage = std::get_if<cli::TUsageError>(&parsed)) {
    cli::WriteAll(2, "zov-q5r-cli: " + usage->Why + "\nTry 'zov-q5r-cli --help'.\n");
    return cli::kUsage;
  }
  const cli::TOptions& options = std::get<cli::TOptions>(parsed);

  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zov-q5r-cli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ZOV_VERSION));
  cli::TOutput output(options.Quiet, options.Json);
  cli::TInterrupt interrupt;
  int status = cli::kDone;
  try {
    status = cli::RunCommand(options, output, interrupt);
  } catch (const std::exception& e) {
    output.Error(e.what());
    status = cli::kNotDone;
  }
  if (output.StdoutFailed()) {
    output.Error("standardní výstup nelze zapsat: " + output.StdoutError());
    if (status == cli::kDone) status = cli::kNotDone;
  }
  return status;
}
