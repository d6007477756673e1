// Stand-in for the Linux device layer while it is not built: no device can
// be opened.
#include <cerrno>

#include "serial/ComDevice.h"

std::unique_ptr<IComDevice> OpenLinuxComDevice(const std::string& portName) {
  throw ComOsError(winerr::kFileNotFound, ENODEV, portName + ": no serial device layer built");
}

std::unique_ptr<IComDevice> OpenLinuxComDevicePath(const std::string& path) {
  throw ComOsError(winerr::kFileNotFound, ENODEV, path + ": no serial device layer built");
}
