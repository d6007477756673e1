// zov-q5r: configuration tool for the ZOV Q5r siren receiver.
#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include "ProgramInfo.h"
#include "app/CommandLine.h"
#include "app/Logo.h"
#include "app/Program.h"

int main(int argc, char** argv) {
  TStartOptions options;
  if (const auto status = HandleCommandLine(argc, argv, options)) return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zov-q5r"));
  QApplication::setApplicationVersion(QStringLiteral(ZOV_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral(ZOV_DESKTOP_ID));
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(LogoImage())));
  return RunProgram(options);
}
