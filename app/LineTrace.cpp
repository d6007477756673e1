#include "app/LineTrace.h"

#include <QObject>
#include <QPointer>
#include <exception>
#include <string>

#include "ProgramInfo.h"
#include "link/Channel.h"
#include "portmap/PortNames.h"
#include "serial/ComPort.h"
#include "trace/TraceFile.h"
#include "ui/ErrorDisplay.h"

namespace {

struct TTraceWiring {
  trace::TTraceFile* file = nullptr;
  QMetaObject::Connection sent;
  QMetaObject::Connection received;
  QPointer<TComPort> port;
  std::string opened;  // "COM1 (/dev/ttyUSB0)": the port as it was opened
};
TTraceWiring wiring;

// The device a COM name stands for now, "" when unknown.
std::string DeviceOf(const std::string& name) {
  try {
    if (const auto path = serial::ResolvePortDevice(name)) return path->string();
  } catch (const std::exception&) {
    // The device scan was refused; the port opened all the same.
  }
  return std::string();
}

// Notes the port just opened (or found open) as "port COM1 (/dev/ttyUSB0)
// <how>"; when the port's device is the trace's own (a terminal the trace
// was shown in turned out to be the receiver's line), the trace stops
// before a line of it reaches the receiver.
void PortOpened(trace::TTraceFile& file, const std::string& name, const char* how) {
  const std::string device = DeviceOf(name);
  if (!device.empty() && file.IsOnDevice(device)) {
    file.Stop("the port " + name + " has opened the trace's own device " + device +
              ", and the trace must not write to a serial port");
    return;
  }
  wiring.opened = name + " (" + (device.empty() ? "device unknown" : device) + ")";
  file.Comment("port " + wiring.opened + " " + how);
}

}  // namespace

void StartTrace(trace::TTraceFile& file, bool servis) {
  StopTrace();
  wiring.file = &file;
  // The file puts the date before the first line.
  file.Comment(std::string("zov-q5r " ZOV_VERSION ", trace started") + (servis ? ", service mode" : ""));

  TChannel& channel = Channel();
  wiring.sent = QObject::connect(&channel, &TChannel::Sent,
                                 [&file](const std::string& bytes) { file.Data(trace::TDirection::Tx, bytes); });
  wiring.received = QObject::connect(
      &channel, &TChannel::Received, [&file](const std::string& bytes) { file.Data(trace::TDirection::Rx, bytes); });

  TComPort& port = channel.Port();
  wiring.port = &port;
  if (port.Connected()) PortOpened(file, port.Port(), "is open");
  port.OnAfterOpen = [&file](QObject* sender) {
    PortOpened(file, static_cast<TCustomComPort*>(sender)->Port(), "opened");
  };
  // By now Port() may hold the name chosen next: the port closed is the one
  // opened.
  port.OnAfterClose = [&file](QObject*) { file.Comment("port " + wiring.opened + " closed"); };

  SetErrorShownHook([&file](const QString& text) { file.Comment("error: " + text.toStdString()); });
}

void StopTrace() {
  if (!wiring.file) return;
  SetErrorShownHook(nullptr);
  QObject::disconnect(wiring.sent);
  QObject::disconnect(wiring.received);
  if (wiring.port) {
    wiring.port->OnAfterOpen = nullptr;
    wiring.port->OnAfterClose = nullptr;
  }
  wiring = TTraceWiring{};
}
