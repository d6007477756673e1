#include "app/Program.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/Forms.h"
#include "app/SingleInstance.h"
#include "app/ZOV.h"
#include "ui/ErrorDisplay.h"

bool LoadQtCzech(QTranslator& translator) {
  return translator.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
         QCoreApplication::installTranslator(&translator);
}

int RunProgram() {
  QTranslator qtCzech;
  LoadQtCzech(qtCzech);
  const QString title = QString::fromUtf8(kMainCaption);
  TSingleInstance instance(title);
  if (!instance.Acquire()) {
    ShowAlreadyRunning(title);
    return 0;
  }
  InstallApplicationErrorHandler();
  CreateForms();
  ZOV->Run();
  DestroyForms();
  return 0;
}
