#pragma once
// The port map: a directory of entries named "COM1".."COM16", each a symlink
// to a device file (or a device node itself). A user pins a COM number to a
// device this way, and the simulated receiver and the tests publish their
// pseudo-terminals this way. Plain C++, no Qt.
#include <filesystem>
#include <map>

#include "portmap/ComName.h"

namespace serial {

// "ports" in the program's configuration folder (folders/Folders.h):
// $XDG_CONFIG_HOME/zov-q5r/ports, or ~/.config/zov-q5r/ports when
// XDG_CONFIG_HOME is unset or not an absolute path. An account with no home
// at all has no port map: the path is empty, and a warning says so on stderr
// (once).
std::filesystem::path PortMapDir();

// The entries present, by COM number: the path each one stands for (the
// symlink's target made absolute, or the entry itself when it is not a
// symlink). Names other than COM1..COM16 are ignored. A missing directory,
// or none at all, gives an empty map.
std::map<int, std::filesystem::path> PortMapEntries();

// Pins COMn to device, replacing an entry of that number (a reader sees the
// old entry or the new one, never none). Throws std::system_error when the
// directory or the link cannot be made, or there is no port map.
void PublishPort(int number, const std::filesystem::path& device);

// Pins the lowest free number to device and returns it; an entry whose
// symlink points nowhere (left behind by a killed program) counts as free.
// Race-free between processes that publish through here: each number goes
// to exactly one of them. Returns 0 when all sixteen are taken; throws as
// PublishPort.
int PublishFirstFreePort(const std::filesystem::path& device);

// Removes COMn's entry if there is one.
void UnpublishPort(int number);

}  // namespace serial
