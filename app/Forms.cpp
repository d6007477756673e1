#include "app/Forms.h"

#include <QApplication>

#include "app/Chyba.h"
#include "app/Exit.h"
#include "app/Navod.h"
#include "app/ZOV.h"
#include "clock/SetTim.h"
#include "connect/ComInit.h"
#include "connect/RcvInit.h"
#include "link/Channel.h"
#include "monitor/Mon.h"
#include "params/Parametry.h"
#include "receiver/LineTrace.h"
#include "receiver/Session.h"
#include "serial/ComPort.h"
#include "ui/ErrorDisplay.h"

TZOV* ZOV = nullptr;
TRcvInit* RcvInit = nullptr;
TChyba* Chyba = nullptr;
TParametry* Parametry = nullptr;
TMon* Mon = nullptr;
TSetTim* SetTim = nullptr;
TComInit* ComInit = nullptr;
TExit* Exit = nullptr;
TNavod* Navod = nullptr;

namespace {

// What the connection and reset dialogs change in the other windows.
void WireConnection(bool servis) {
  // Controls of the receiver dialogs that this program keeps from the
  // operator, hidden or disabled each time the connection dialog opens;
  // the technician in service mode keeps them.
  if (!servis) {
    QObject::connect(ComInit, &TComInit::RestrictReceiverDialogs, Parametry, [] {
      Parametry->Default->hide();
      Parametry->Ser1->setEnabled(false);
      Parametry->Ser2->setEnabled(false);
    });
    QObject::connect(ComInit, &TComInit::RestrictReceiverDialogs, Mon, [] { Mon->Nul->hide(); });
  }

  QObject::connect(RcvInit, &TRcvInit::LoggedIn, ZOV, [] {
    ZOV->Params->setEnabled(true);
    ZOV->Monitor->setEnabled(true);
    ZOV->Tim->setEnabled(true);
  });
  // The connection dialog under the reset dialog closes with it.
  QObject::connect(RcvInit, &TRcvInit::LoggedIn, ComInit, &TComInit::Close);
  QObject::connect(RcvInit, &TRcvInit::LoginReported, ZOV, [] { ZOV->SetActiveControl(ZOV->Params); });
  // A lost line leaves nothing to talk to: the receiver dialogs wait for
  // the next login.
  QObject::connect(&Channel(), &TChannel::PortFailed, ZOV, [] {
    ZOV->Params->setEnabled(false);
    ZOV->Tim->setEnabled(false);
    ZOV->Monitor->setEnabled(false);
  });
  QObject::connect(&Channel(), &TChannel::LineChanged, ZOV, [] { ZOV->ShowLineState(); });
  ZOV->ShowLineState();
  QObject::connect(RcvInit, &TRcvInit::ResetCancelled, ZOV, [] {
    ZOV->Params->setEnabled(false);
    ZOV->Tim->setEnabled(false);
    ZOV->Monitor->setEnabled(false);
    ZOV->ComIni->setEnabled(true);
  });
}

// Service mode, for the technician who brings a receiver into service: the
// operator code can be typed (besides the controls WireConnection leaves),
// clearing the monitor asks first, and the title says the mode is on.
void ApplyServiceMode() {
  ZOV->SetCaption(ZOV->Caption() + QStringLiteral(" \u2013 servis"));
  ComInit->SetOperatorCodeEditable(true);
  Mon->SetConfirmClear(true);
}

template <typename T>
void Destroy(T*& form) {
  T* f = form;
  form = nullptr;
  delete f;
}

}  // namespace

void CreateForms(const TStartOptions& options) {
  ZOV = new TZOV;
  // The command channel works on the main window's port and delay object;
  // the main window owns it, so it outlives every dialog that observes it.
  InstallChannel(new TChannel(ZOV->ComPort1, ZOV->Sleeper1, ZOV));
  RcvInit = new TRcvInit;
  Chyba = new TChyba;
  InstallMessageDialog(Chyba);
  Parametry = new TParametry;
  Mon = new TMon;
  SetTim = new TSetTim;
  ComInit = new TComInit(RcvInit);
  Exit = new TExit;
  // The guide as installed beside this program, or as the build made it.
  Navod = new TNavod(GuideFile(QCoreApplication::applicationDirPath()));
  qApp->installEventFilter(Navod);
  WireConnection(options.servis);
  if (options.servis) ApplyServiceMode();
  // The serial component's own reports go to the error box as before, and
  // the channel hears of a failed port first, so that a dialog waiting for
  // the receiver stops.
  receiver::RouteComponentErrors([](std::exception_ptr error) { ShowErrorBox(error); });
  if (options.trace) {
    StartTrace(*options.trace, "zov-q5r", options.servis);
    SetErrorShownHook([](const QString& text) { TraceError(text.toStdString()); });
  }
}

void DestroyForms() {
  // The port first: once it is closed nothing more is received into the
  // windows that go next.
  if (ZOV) ZOV->DestroyPort();
  SetErrorShownHook(nullptr);
  StopTrace();
  InstallApplicationErrorHandler();
  Destroy(Navod);  // and with it its watch for F1
  Destroy(Exit);
  Destroy(ComInit);
  Destroy(SetTim);
  Destroy(Mon);
  Destroy(Parametry);
  InstallMessageDialog(nullptr);
  Destroy(Chyba);
  Destroy(RcvInit);
  InstallChannel(nullptr);
  Destroy(ZOV);
}
