#include "serial/PortNames.h"

#include "serial/PortMap.h"

namespace serial {

// First cut: the port map only; detection of the devices present follows.
std::vector<SerialPortEntry> EnumerateSerialPorts() {
  std::vector<SerialPortEntry> out;
  for (const auto& [n, dev] : PortMapEntries()) out.push_back({n, "COM" + std::to_string(n), dev});
  return out;
}

std::optional<std::filesystem::path> ResolvePortDevice(const std::string& comName) {
  for (const auto& e : EnumerateSerialPorts())
    if (e.name == comName) return e.device;
  return std::nullopt;
}

}  // namespace serial
