#include "monitor/MonitorFile.h"

#include <QDir>

#include "ui/Files.h"

void SaveMonitorFile(const QString& fileName, std::string_view bytes) {
  if (!SaveWholeFile(fileName, bytes))
    throw EMonitorFile("Cannot create file " + QDir::toNativeSeparators(fileName).toStdString());
}

QString MonitorFileName(const QDateTime& readOut) {
  return QStringLiteral("monitor-%1.txt").arg(readOut.toString(QStringLiteral("yyyy-MM-dd-HHmm")));
}
