#include "Session.h"

#include <QElapsedTimer>
#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/Chyba.h"
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

namespace {

// Opens the main window's port on portName (closing it first) and logs in;
// then waits until isOnCommandLine.
std::string LogInOn(const std::string& portName, const std::function<bool()>& isOnCommandLine) {
  TComPort& port = Channel().Port();
  port.ClosePort();
  port.SetPort(portName);
  port.OpenPort();
  OperatorCode = login::kDefaultOperatorCode;
  RxText().Clear();
  Channel().Send(login::kPoll);
  if (!WaitUntil([] { return RxText().Contains(login::kPasswordPrompt); })) return "no password prompt";
  Channel().Send(login::kPassword);
  if (!WaitUntil([] { return RxText().Contains(login::kOperatorPrompt); })) return "no operator prompt";
  Channel().Send(login::OperatorCodeText(OperatorCode));
  if (!WaitUntil(isOnCommandLine)) return "no command prompt after the operator code";
  Channel().LoggedIn();
  for (QWidget* b : {ZOV->Params, ZOV->Monitor, ZOV->Tim}) b->setEnabled(true);
  RxText().Clear();
  return "";
}

}  // namespace

std::string LogInOn(sim::Receiver& receiver) {
  const std::string failed = LogInOn(receiver.PortName(), [&] {
    return receiver.CurrentState() == sim::State::Command && RxText().Contains("CMD>");
  });
  if (failed.empty()) receiver.ClearTraffic();
  return failed;
}

std::string StartProgramLoggedIn(sim::Receiver& receiver) {
  CreateForms();
  return LogInOn(receiver);
}

std::string StartProgramLoggedIn(const std::string& portName) {
  CreateForms();
  return LogInOn(portName, [] { return RxText().Contains("CMD>"); });
}

void EndProgram() { DestroyForms(); }

double TimeToReport(const std::function<void()>& open, const std::function<bool()>& ready,
                    const std::function<void()>& write, const char* report) {
  double ms = -1;
  bool started = false;
  QElapsedTimer t;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (started && QApplication::activeModalWidget() == Chyba) {
      if (ms < 0 && Chyba->Panel->Caption() == QString::fromUtf8(report)) ms = t.nsecsElapsed() / 1e6;
      Chyba->Button1->click();
      return;
    }
    if (started || !ready()) return;
    started = true;
    // From a turn of its own, so that this poll goes on inside the write.
    QTimer::singleShot(0, [&] {
      t.start();
      write();
    });
  });
  poll.start();
  open();
  return ms;
}

std::unique_ptr<sim::Receiver> StartBenchLoggedIn(const char* name, int timeoutMs) {
  QTimer::singleShot(timeoutMs, [name] {
    std::fprintf(stderr, "%s: no result in time\n", name);
    std::_Exit(1);
  });
  sim::Options options;
  options.pacing = false;
  options.resetOnStart = true;
  auto receiver = std::make_unique<sim::Receiver>(options);
  receiver->Start();
  if (const std::string failed = StartProgramLoggedIn(*receiver); !failed.empty()) {
    std::fprintf(stderr, "%s: %s\n", name, failed.c_str());
    return nullptr;
  }
  return receiver;
}
