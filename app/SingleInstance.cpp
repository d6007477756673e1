#include "app/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <cstdio>
#include <unistd.h>

QString InstanceLockPath(const QString& title) {
  QString name;
  for (QChar c : title) name += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') ? c : QLatin1Char('_');
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) {
    dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    name += QStringLiteral("-%1").arg(::getuid());
  }
  return QDir(dir).filePath(name + QStringLiteral(".lock"));
}

TSingleInstance::TSingleInstance(const QString& title) : path_(InstanceLockPath(title)) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Acquire() {
  lock_ = std::make_unique<QLockFile>(path_);
  // Age does not make a lock stale, only a dead owner does.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) return true;
  if (lock_->error() == QLockFile::LockFailedError) return false;
  std::fprintf(stderr, "zov-q5r: cannot create the instance lock %s; starting without it\n",
               qPrintable(path_));
  lock_.reset();
  return true;
}

void ShowAlreadyRunning(const QString& title) {
  QMessageBox box(QMessageBox::Critical, title, QStringLiteral("Program lze spustit pouze jednou !"),
                  QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.exec();
}
