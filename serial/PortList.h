#pragma once
// The serial ports of this computer by their COM names, for the operator to
// choose from: the pinned entries of the port map and the serial devices
// present, numbered as the port-name rule gives them (portmap/PortNames.h).
#include <string>
#include <vector>

#include "portmap/PortNames.h"

// Appends the COM names ("COM1".."COM16", whole) in COM-number order.
// Raises EComPort 15 ("EnumPorts function failed (win error code: N)") when
// the system refuses the enumeration.
void ListSerialPorts(std::vector<std::string>& list);

// The same ports with the device file each stands for; the same error.
std::vector<serial::SerialPortEntry> ListSerialPortEntries();
