#include "Session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/Channel.h"
#include "link/Login.h"
#include "serial/ComPort.h"
#include "sim/Receiver.h"

bool WaitUntil(const std::function<bool()>& pred, int ms) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

std::string StartProgramLoggedIn(sim::Receiver& receiver) {
  CreateForms();
  TComPort& port = Channel().Port();
  port.SetPort(receiver.PortName());
  port.OpenPort();
  OperatorCode = login::kDefaultOperatorCode;
  RxText().Clear();
  Channel().Send(login::kPoll);
  if (!WaitUntil([] { return RxText().Contains(login::kPasswordPrompt); })) return "no password prompt";
  Channel().Send(login::kPassword);
  if (!WaitUntil([] { return RxText().Contains(login::kOperatorPrompt); })) return "no operator prompt";
  Channel().Send(login::OperatorCodeText(OperatorCode));
  if (!WaitUntil([&] { return receiver.CurrentState() == sim::State::Command && RxText().Contains("CMD>"); }))
    return "no command prompt after the operator code";
  for (QWidget* b : {ZOV->Params, ZOV->Monitor, ZOV->Tim}) b->setEnabled(true);
  RxText().Clear();
  receiver.ClearTraffic();
  return "";
}

void EndProgram() { DestroyForms(); }
