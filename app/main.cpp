// zov-q5r: configuration tool for the ZOV Q5r siren receiver.
#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include "ProgramInfo.h"
#include "app/CommandLine.h"
#include "app/Logo.h"
#include "app/Program.h"
#include "files/Files.h"

int main(int argc, char** argv) {
  // A pipe whose reader has gone (the trace, stderr) or the file size limit
  // make a write fail, which is reported, instead of ending the program.
  files::IgnoreWriteSignals();
  TStartOptions options;
  if (const auto status = HandleCommandLine(argc, argv, options)) return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zov-q5r"));
  QApplication::setApplicationVersion(QStringLiteral(ZOV_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral(ZOV_DESKTOP_ID));
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(LogoImage())));
  return RunProgram(options);
}
