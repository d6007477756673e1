#include "app/Program.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/Forms.h"
#include "app/SingleInstance.h"
#include "app/ZOV.h"
#include "link/Cp1250.h"
#include "ui/ErrorDisplay.h"

bool LoadQtCzech(QTranslator& translator) {
  return translator.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
         QCoreApplication::installTranslator(&translator);
}

int RunProgram(const TStartOptions& options) {
  // Without the receiver's code page every received line would show empty:
  // stop at once and say why.
  try {
    RequireCp1250Decoder();
  } catch (...) {
    ShowErrorBox(std::current_exception());
    return 1;
  }
  QTranslator qtCzech;
  LoadQtCzech(qtCzech);
  // The main window's title without the service mode's addition: an
  // instance in either mode refuses a second one in either mode.
  const QString title = QString::fromUtf8(kMainCaption);
  TSingleInstance instance(title);
  if (!instance.Acquire()) {
    ShowAlreadyRunning(title);
    return 0;
  }
  CreateForms(options);  // installs the error display, routed through the channel
  ZOV->Run();
  DestroyForms();
  return 0;
}
