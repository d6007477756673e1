// zov-q5r: configuration tool for the ZOV Q5r siren receiver.
#include <QApplication>

#include "app/Program.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zov-q5r"));
  return RunProgram();
}
