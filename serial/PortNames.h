#pragma once
// Which device file a port name COM1..COM16 stands for on this machine:
// 1. an entry COMn in the port map (serial/PortMap.h);
// 2. otherwise the serial devices present, found through /sys/class/tty
//    (virtual ttys skipped, a serial8250 port kept only when TIOCGSERIAL
//    reports a real UART), in the order ttyS, ttyUSB, ttyACM, ttyAMA, rfcomm,
//    each by number, take the lowest COM numbers that no map entry pins.
// Plain C++, no Qt.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace serial {

struct SerialPortEntry {
  int number = 0;                 // 1..16
  std::string name;               // "COM<number>"
  std::filesystem::path device;   // the device file it stands for
};

// Every port by the rule above, in COM-number order. Throws std::system_error
// when the system refuses the enumeration.
std::vector<SerialPortEntry> EnumerateSerialPorts();

// The device file for a normalised name ("COM3"); nullopt when none.
std::optional<std::filesystem::path> ResolvePortDevice(const std::string& comName);

}  // namespace serial
