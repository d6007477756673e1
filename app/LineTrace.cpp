#include "app/LineTrace.h"

#include <QDate>
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

// "COM1 (/dev/ttyUSB0)": the name and the device it stands for now.
std::string NameAndDevice(const std::string& name) {
  std::string device;
  try {
    if (const auto path = serial::ResolvePortDevice(name)) device = path->string();
  } catch (const std::exception&) {
    // The device scan was refused; the port opened all the same.
  }
  return name + " (" + (device.empty() ? "device unknown" : device) + ")";
}

}  // namespace

void StartTrace(trace::TTraceFile& file, bool servis) {
  StopTrace();
  wiring.file = &file;
  file.Comment("zov-q5r " ZOV_VERSION ", trace started on " +
               QDate::currentDate().toString(Qt::ISODate).toStdString() + (servis ? ", service mode" : ""));

  TChannel& channel = Channel();
  wiring.sent = QObject::connect(&channel, &TChannel::Sent,
                                 [&file](const std::string& bytes) { file.Data(trace::TDirection::Tx, bytes); });
  wiring.received = QObject::connect(
      &channel, &TChannel::Received, [&file](const std::string& bytes) { file.Data(trace::TDirection::Rx, bytes); });

  TComPort& port = channel.Port();
  wiring.port = &port;
  if (port.Connected()) {
    wiring.opened = NameAndDevice(port.Port());
    file.Comment("port " + wiring.opened + " is open");
  }
  port.OnAfterOpen = [&file](QObject* sender) {
    wiring.opened = NameAndDevice(static_cast<TCustomComPort*>(sender)->Port());
    file.Comment("port " + wiring.opened + " opened");
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
