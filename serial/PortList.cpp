#include "serial/PortList.h"

#include "serial/ComPort.h"

#include <cerrno>
#include <system_error>

namespace {

constexpr int kEnumPortsFailed = 15;

// The Windows code the message carries for the errno behind a refused
// enumeration, as the device layer reports its own failures.
int WinCodeOf(int err) {
  switch (err) {
    case ENOENT: case ENODEV: case ENXIO: return winerr::kFileNotFound;
    case EACCES: case EPERM: return winerr::kAccessDenied;
    case ENOMEM: return winerr::kNotEnoughMemory;
    case EIO: return winerr::kIoDevice;
    case EINVAL: return winerr::kInvalidParameter;
    default: return winerr::kGenFailure;
  }
}

}  // namespace

std::vector<serial::SerialPortEntry> ListSerialPortEntries() {
  try {
    return serial::EnumerateSerialPorts();
  } catch (const std::system_error& e) {
    const int err = e.code().value();
    throw EComPort(kEnumPortsFailed, WinCodeOf(err), err);
  }
}

void ListSerialPorts(std::vector<std::string>& list) {
  for (const auto& e : ListSerialPortEntries()) list.push_back(e.name);
}
