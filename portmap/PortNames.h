#pragma once
// Which device file a port name COM1..COM16 stands for on this machine:
// 1. an entry COMn in the port map (portmap/PortMap.h);
// 2. otherwise the serial devices present, found through /sys/class/tty, in
//    the order ttyS, ttyUSB, ttyACM, ttyAMA, rfcomm, each by number, take the
//    lowest COM numbers that no map entry pins.
//
// Which ttys count as serial devices present:
// - only the five families above, each name followed by a decimal number;
// - a tty that lives under /sys/devices/virtual, or has no device link, is
//   skipped (ptys, consoles, virtual terminals), except rfcommN: the kernel
//   keeps a bound Bluetooth port there until its link is up, and opening it
//   is what brings the link up;
// - the device node /dev/<name> must exist;
// - a UART of the serial core (its sysfs entry has a "type" attribute) is kept
//   only when that type is not 0 (PORT_UNKNOWN): the kernel creates ttyS ports
//   for every possible 8250 slot, most of them with no hardware behind. The
//   attribute is read rather than opening the port, because opening a real
//   port raises DTR and RTS on the line. A ttyS without the attribute (old
//   kernels) is opened briefly and asked with TIOCGSERIAL; when it cannot be
//   opened, it is kept if busy (someone uses it, so it is real) and otherwise
//   only if its driver is not serial8250;
// - a device that a map entry pins (same file after resolving symlinks) is
//   not listed a second time under another number.
//
// Plain C++, no Qt.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace serial {

struct SerialPortEntry {
  int number = 0;                 // 1..16
  std::string name;               // "COM<number>"
  std::filesystem::path device;   // the device file it stands for
  bool pinned = false;            // from the port map, not found by the scan
};

// What opening a device node and asking TIOCGSERIAL gave.
struct UartProbeResult {
  enum Kind {
    kUart,         // a UART type other than PORT_UNKNOWN
    kNoUart,       // PORT_UNKNOWN: a slot with no hardware behind it
    kNotAsked,     // opened, but the driver does not answer TIOCGSERIAL
    kCannotOpen,   // open refused; error holds the errno
  } kind = kNotAsked;
  int error = 0;
};

// Where the scan looks and how it asks a device node. The program uses the
// defaults; tests point them at a fake tree.
struct PortScanSetup {
  std::filesystem::path sysClassTty = "/sys/class/tty";
  std::filesystem::path devDir = "/dev";
  // Empty: ProbeUart.
  std::function<UartProbeResult(const std::filesystem::path& devNode)> probeUart;
};

// Opens devNode with O_RDWR|O_NOCTTY|O_NONBLOCK, asks TIOCGSERIAL, closes it.
UartProbeResult ProbeUart(const std::filesystem::path& devNode);

// Every port by the rule above, in COM-number order. A map entry whose
// device is missing (an adapter unplugged) is not listed, though it still
// keeps its number from the scanned devices. Throws std::system_error when
// the system refuses the enumeration (/sys/class/tty cannot be read; its
// absence only means no device is found).
std::vector<SerialPortEntry> EnumerateSerialPorts();
std::vector<SerialPortEntry> EnumerateSerialPorts(const PortScanSetup& setup);

// The device file for a normalised name ("COM3"); nullopt when none. A map
// entry is returned as it stands, even when its device is missing (the open
// then reports the device as not found); only a name not in the map needs
// the scan, which may throw std::system_error as above.
std::optional<std::filesystem::path> ResolvePortDevice(const std::string& comName);
std::optional<std::filesystem::path> ResolvePortDevice(const std::string& comName,
                                                       const PortScanSetup& setup);

// The setup the overloads without one use. Tests replace it (and restore
// the default with SetDefaultPortScanSetup(PortScanSetup{})).
PortScanSetup DefaultPortScanSetup();
void SetDefaultPortScanSetup(const PortScanSetup& setup);

}  // namespace serial
