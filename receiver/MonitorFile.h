#pragma once
// The monitor file: the receive text exactly as the receiver sent it (code
// page 1250 bytes, CR LF line breaks), no header, nothing added.
#include <QDateTime>
#include <QString>
#include <stdexcept>
#include <string_view>

// A monitor file that could not be written whole.
class EMonitorFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes bytes to fileName whole, in place of a regular file or under a new
// name (files/Files.h): a failure (a FIFO or a device of that name, no such
// folder, no permission, a full disk, a file size limit) leaves the old file
// as it was and throws EMonitorFile "Cannot create file <name>: <reason>".
void SaveMonitorFile(const QString& fileName, std::string_view bytes);

// The name the save dialog offers for a monitor read out at that moment,
// "monitor-2026-05-03-1422.txt", so that saved monitors do not replace one
// another unless the operator says so.
QString MonitorFileName(const QDateTime& readOut);
