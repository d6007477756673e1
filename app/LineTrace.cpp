#include "app/LineTrace.h"

#include <QDate>
#include <QObject>
#include <string>
#include <vector>

#include "ProgramInfo.h"
#include "link/Channel.h"
#include "serial/ComPort.h"
#include "trace/TraceFile.h"
#include "ui/ErrorDisplay.h"

namespace {

struct TTraceWiring {
  trace::TTraceFile* file = nullptr;
  std::vector<QMetaObject::Connection> connections;
};
TTraceWiring wiring;

// "COM1 (/dev/ttyUSB0)": the port as the channel opened it.
std::string NameAndDevice(const TChannel& channel) {
  const std::string& device = channel.OpenedDevice();
  return channel.OpenedPort() + " (" + (device.empty() ? "device unknown" : device) + ")";
}

}  // namespace

void StartTrace(trace::TTraceFile& file, bool servis) {
  StopTrace();
  wiring.file = &file;
  file.Comment("zov-q5r " ZOV_VERSION ", trace started on " +
               QDate::currentDate().toString(Qt::ISODate).toStdString() + (servis ? ", service mode" : ""));

  TChannel& channel = Channel();
  auto& c = wiring.connections;
  c.push_back(QObject::connect(&channel, &TChannel::Sent,
                               [&file](const std::string& bytes) { file.Data(trace::TDirection::Tx, bytes); }));
  c.push_back(QObject::connect(&channel, &TChannel::Received,
                               [&file](const std::string& bytes) { file.Data(trace::TDirection::Rx, bytes); }));
  if (channel.Port().Connected()) file.Comment("port " + NameAndDevice(channel) + " is open");
  c.push_back(QObject::connect(&channel, &TChannel::PortOpened, [&file, &channel] {
    file.Comment("port " + NameAndDevice(channel) + " opened");
  }));
  // By now the port's name may be the one chosen next: the port closed is
  // the one the channel opened.
  c.push_back(QObject::connect(&channel, &TChannel::PortClosed, [&file, &channel] {
    file.Comment("port " + NameAndDevice(channel) + " closed");
  }));

  SetErrorShownHook([&file](const QString& text) { file.Comment("error: " + text.toStdString()); });
}

void StopTrace() {
  if (!wiring.file) return;
  SetErrorShownHook(nullptr);
  for (const QMetaObject::Connection& c : wiring.connections) QObject::disconnect(c);
  wiring = TTraceWiring{};
}
