#include "app/Program.h"

#include "app/Forms.h"
#include "app/SingleInstance.h"
#include "app/ZOV.h"
#include "serial/Cp1250.h"
#include "ui/ErrorDisplay.h"

int RunProgram() {
  // Without the receiver's code page every received line would show empty:
  // stop at once and say why.
  try {
    RequireCp1250Decoder();
  } catch (...) {
    ShowErrorBox(std::current_exception());
    return 1;
  }
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
