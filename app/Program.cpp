#include "app/Program.h"

#include "app/Forms.h"
#include "app/SingleInstance.h"
#include "app/ZOV.h"
#include "ui/ErrorDisplay.h"

int RunProgram() {
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
