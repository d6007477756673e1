#include "receiver/MonitorFile.h"

#include <QDir>

#include "files/Files.h"

void SaveMonitorFile(const QString& fileName, std::string_view bytes) {
  std::string why;
  if (!files::SaveWholeFile(fileName, bytes, &why))
    throw EMonitorFile("Cannot create file " + QDir::toNativeSeparators(fileName).toStdString() + ": " + why);
}

QString MonitorFileName(const QDateTime& readOut) {
  return QStringLiteral("monitor-%1.txt").arg(readOut.toString(QStringLiteral("yyyy-MM-dd-HHmm")));
}
