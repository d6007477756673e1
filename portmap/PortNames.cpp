#include "portmap/PortNames.h"

#include "portmap/PortMap.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <mutex>
#include <set>
#include <string_view>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace serial {

namespace {

// The families the scan takes, in the order their ports get COM numbers.
constexpr std::array<std::string_view, 5> kFamilies = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
constexpr int kRfcomm = 4;

struct Candidate {
  int family = 0;
  long number = 0;
  std::string name;
};

// "ttyUSB12" -> {1, 12}; names of other families, or with anything but a
// decimal number after the family, give nullopt ("ttySAC0", "ttyS", "ttyS1a").
std::optional<Candidate> ParseTtyName(const std::string& name) {
  for (std::size_t f = 0; f < kFamilies.size(); ++f) {
    const std::string_view fam = kFamilies[f];
    if (name.size() <= fam.size() || name.size() > fam.size() + 9 || name.compare(0, fam.size(), fam) != 0)
      continue;
    long n = 0;
    bool digits = true;
    for (std::size_t i = fam.size(); i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') { digits = false; break; }
      n = n * 10 + (name[i] - '0');
    }
    if (digits) return Candidate{static_cast<int>(f), n, name};
  }
  return std::nullopt;
}

bool HasVirtualComponent(const fs::path& p) {
  for (const auto& part : p)
    if (part == "virtual") return true;
  return false;
}

// The serial core's "type" attribute of a UART: its port type, 0 being
// PORT_UNKNOWN. nullopt when the tty has no such attribute or it cannot be read.
std::optional<long> ReadUartType(const fs::path& entry) {
  std::ifstream in(entry / "type");
  long type = 0;
  if (!(in >> type)) return std::nullopt;
  return type;
}

std::string DriverName(const fs::path& entry) {
  std::error_code ec;
  const fs::path drv = fs::canonical(entry / "device" / "driver", ec);
  return ec ? std::string() : drv.filename().string();
}

bool IsRealUart(const Candidate& c, const fs::path& entry, const fs::path& devNode,
                const PortScanSetup& setup) {
  if (const auto type = ReadUartType(entry)) return *type != 0;
  if (kFamilies[c.family] != "ttyS") return true;
  const UartProbeResult r = setup.probeUart ? setup.probeUart(devNode) : ProbeUart(devNode);
  switch (r.kind) {
    case UartProbeResult::kUart: return true;
    case UartProbeResult::kNoUart: return false;
    case UartProbeResult::kNotAsked: return true;  // not a serial core port, so not one of its empty slots
    case UartProbeResult::kCannotOpen:
      return r.error == EBUSY || DriverName(entry) != "serial8250";
  }
  return true;
}

// The serial devices present, in scan order (family, then number).
std::vector<fs::path> ScanDevices(const PortScanSetup& setup) {
  std::vector<Candidate> found;
  std::error_code ec;
  fs::directory_iterator it(setup.sysClassTty, ec);
  if (ec) {
    if (ec == std::errc::no_such_file_or_directory) return {};
    throw std::system_error(ec, "cannot read " + setup.sysClassTty.string());
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (auto c = ParseTtyName(it->path().filename().string())) found.push_back(*c);
  }
  if (ec) throw std::system_error(ec, "cannot read " + setup.sysClassTty.string());
  std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    return a.family != b.family ? a.family < b.family : a.number < b.number;
  });

  std::vector<fs::path> out;
  for (const Candidate& c : found) {
    const fs::path entry = setup.sysClassTty / c.name;
    const fs::path devNode = setup.devDir / c.name;
    std::error_code lec;
    if (!fs::exists(devNode, lec)) continue;
    if (c.family != kRfcomm) {
      const fs::path real = fs::canonical(entry, lec);
      if (lec || HasVirtualComponent(real)) continue;
      const fs::path device = fs::canonical(entry / "device", lec);
      if (lec || HasVirtualComponent(device)) continue;
    }
    if (!IsRealUart(c, entry, devNode, setup)) continue;
    out.push_back(devNode);
  }
  return out;
}

std::mutex g_setupMutex;
PortScanSetup g_setup;

}  // namespace

UartProbeResult ProbeUart(const fs::path& devNode) {
  const int fd = ::open(devNode.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {UartProbeResult::kCannotOpen, errno};
  serial_struct info{};
  UartProbeResult r;
  if (::ioctl(fd, TIOCGSERIAL, &info) == 0)
    r.kind = info.type != PORT_UNKNOWN ? UartProbeResult::kUart : UartProbeResult::kNoUart;
  else
    r = {UartProbeResult::kNotAsked, errno};
  ::close(fd);
  return r;
}

std::vector<SerialPortEntry> EnumerateSerialPorts(const PortScanSetup& setup) {
  const auto map = PortMapEntries();
  std::vector<SerialPortEntry> out;
  std::set<fs::path> pinnedDevices;
  for (const auto& [n, dev] : map) {
    std::error_code ec;
    const fs::path real = fs::canonical(dev, ec);
    if (ec) continue;  // the pinned device is not there now
    pinnedDevices.insert(real);
    out.push_back({n, ComName(n), dev, true});
  }

  int next = 1;
  for (const fs::path& dev : ScanDevices(setup)) {
    std::error_code ec;
    const fs::path real = fs::canonical(dev, ec);
    if (!ec && pinnedDevices.count(real)) continue;
    while (next <= kMaxPortNumber && map.count(next)) ++next;
    if (next > kMaxPortNumber) break;
    out.push_back({next, ComName(next), dev, false});
    ++next;
  }
  std::sort(out.begin(), out.end(),
            [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.number < b.number; });
  return out;
}

std::vector<SerialPortEntry> EnumerateSerialPorts() { return EnumerateSerialPorts(DefaultPortScanSetup()); }

std::optional<fs::path> ResolvePortDevice(const std::string& comName, const PortScanSetup& setup) {
  const int n = ExactComNumber(comName);
  if (n == 0) return std::nullopt;
  const auto map = PortMapEntries();
  if (const auto it = map.find(n); it != map.end()) return it->second;
  for (const auto& e : EnumerateSerialPorts(setup))
    if (e.number == n) return e.device;
  return std::nullopt;
}

std::optional<fs::path> ResolvePortDevice(const std::string& comName) {
  return ResolvePortDevice(comName, DefaultPortScanSetup());
}

PortScanSetup DefaultPortScanSetup() {
  std::lock_guard<std::mutex> lock(g_setupMutex);
  return g_setup;
}

void SetDefaultPortScanSetup(const PortScanSetup& setup) {
  std::lock_guard<std::mutex> lock(g_setupMutex);
  g_setup = setup;
}

}  // namespace serial
