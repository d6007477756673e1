#include "app/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
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
  // Tests set ZOV_TEST_AUTOCLOSE_MS: the box then reports what it shows on
  // stdout and closes itself after that many milliseconds.
  bool ok = false;
  const int autoClose = qEnvironmentVariableIntValue("ZOV_TEST_AUTOCLOSE_MS", &ok);
  if (ok && autoClose >= 0) {
    QTimer::singleShot(autoClose, &box, [&box] {
      std::printf("message box: title=\"%s\" text=\"%s\" icon=%s buttons=%s\n",
                  qPrintable(box.windowTitle()), qPrintable(box.text()),
                  box.icon() == QMessageBox::Critical ? "critical" : "other",
                  box.standardButtons() == QMessageBox::Ok ? "ok" : "other");
      std::fflush(stdout);
      box.done(QMessageBox::Ok);
    });
  }
  box.exec();
}
