#include "monitor/MonitorFile.h"

#include <QDir>
#include <QSaveFile>

void SaveMonitorFile(const QString& fileName, std::string_view bytes) {
  QSaveFile file(fileName);
  // Unbuffered: a write that the file system cuts short (a full disk, a file
  // size limit) shows here. Buffered, it would show only when the buffer is
  // flushed while committing, and QSaveFile would commit the cut file.
  const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                       file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) && file.commit();
  if (!written) {
    // Nothing was renamed over the old file; the temporary one is gone.
    file.cancelWriting();
    throw EMonitorFile("Cannot create file " + QDir::toNativeSeparators(fileName).toStdString());
  }
}
