#include "receiver/LineTrace.h"

#include <QObject>
#include <string>
#include <vector>

#include "ProgramInfo.h"
#include "link/Channel.h"
#include "serial/ComPort.h"
#include "trace/TraceFile.h"

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

// Notes the port just opened (or found open) as "port COM1 (/dev/ttyUSB0)
// <how>"; when the port's device is the trace's own (a terminal the trace
// was shown in turned out to be the receiver's line), the trace stops
// before a line of it reaches the receiver.
void PortOpened(trace::TTraceFile& file, const TChannel& channel, const char* how) {
  const std::string& device = channel.OpenedDevice();
  if (!device.empty() && file.IsOnDevice(device)) {
    file.Stop("the port " + channel.OpenedPort() + " has opened the trace's own device " + device +
              ", and the trace must not write to a serial port");
    return;
  }
  file.Comment("port " + NameAndDevice(channel) + " " + how);
}

}  // namespace

void StartTrace(trace::TTraceFile& file, const std::string& program, bool servis) {
  StopTrace();
  wiring.file = &file;
  // The file puts the date before the first line.
  file.Comment(program + " " ZOV_VERSION ", trace started" + (servis ? ", service mode" : ""));

  TChannel& channel = Channel();
  auto& c = wiring.connections;
  c.push_back(QObject::connect(&channel, &TChannel::Sent,
                               [&file](const std::string& bytes) { file.Data(trace::TDirection::Tx, bytes); }));
  c.push_back(QObject::connect(&channel, &TChannel::Received,
                               [&file](const std::string& bytes) { file.Data(trace::TDirection::Rx, bytes); }));
  if (channel.Port().Connected()) PortOpened(file, channel, "is open");
  c.push_back(QObject::connect(&channel, &TChannel::PortOpened, [&file, &channel] { PortOpened(file, channel, "opened"); }));
  // By now the port's name may be the one chosen next: the port closed is
  // the one the channel opened.
  c.push_back(QObject::connect(&channel, &TChannel::PortClosed, [&file, &channel] {
    file.Comment("port " + NameAndDevice(channel) + " closed");
  }));
}

void TraceError(const std::string& text) {
  if (wiring.file) wiring.file->Comment("error: " + text);
}

void StopTrace() {
  if (!wiring.file) return;
  for (const QMetaObject::Connection& c : wiring.connections) QObject::disconnect(c);
  wiring = TTraceWiring{};
}
