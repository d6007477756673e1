// ports: the COM names and their devices, as the connection dialog lists
// them; no port is opened.
#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "serial/PortList.h"

namespace cli {

int RunPorts(TOutput& output) {
  std::vector<serial::SerialPortEntry> ports;
  try {
    ports = ListSerialPortEntries();
  } catch (...) {
    output.Error(ErrorText(std::current_exception()));
    return kNotDone;
  }
  for (const serial::SerialPortEntry& p : ports) {
    const std::string device = p.device.string();
    if (output.Json()) {
      TJson object = TJson::Object();
      object.Add("command", "ports").Add("port", p.name).Add("device", device.empty() ? TJson() : TJson(device));
      output.JsonLine(object);
    } else {
      output.Data(device.empty() ? p.name + "\n" : p.name + "  " + device + "\n");
    }
  }
  return kDone;
}

}  // namespace cli
