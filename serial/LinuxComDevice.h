#pragma once
// The Linux device layer (serial/ComDevice.h on termios): the default way a
// port reaches its device.
#include <memory>
#include <string>

#include "serial/ComDevice.h"

// Resolves the COM name (portmap/PortNames.h) and opens the device file it
// stands for, exclusively. Throws ComOsError.
std::unique_ptr<IComDevice> OpenLinuxComDevice(const std::string& portName);
// The same for a device path, for tools and tests.
std::unique_ptr<IComDevice> OpenLinuxComDevicePath(const std::string& path);
