#include "serial/PortList.h"

#include "serial/ComPort.h"

#include <cerrno>
#include <system_error>

namespace {

constexpr int kEnumPortsFailed = 15;

}  // namespace

std::vector<serial::SerialPortEntry> ListSerialPortEntries() {
  try {
    return serial::EnumerateSerialPorts();
  } catch (const std::system_error& e) {
    const int err = e.code().value();
    throw EComPort(kEnumPortsFailed, WinCodeFromErrno(err), err);
  }
}

void ListSerialPorts(std::vector<std::string>& list) {
  for (const auto& e : ListSerialPortEntries()) list.push_back(e.name);
}
