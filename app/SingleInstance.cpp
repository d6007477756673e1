#include "app/SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QSysInfo>
#include <cstdio>
#include <filesystem>
#include <string>

#include "folders/Folders.h"

QString InstanceLockName(const QString& title) {
  QString name;
  for (QChar c : title) name += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') ? c : QLatin1Char('_');
  return name;
}

QString InstanceLockPath(const QString& title) {
  QString name = InstanceLockName(title);
  // Only where no one else may write: in a shared folder another user could
  // plant a lock naming a running process of this name and keep the
  // program from starting.
  std::string refused;
  std::filesystem::path dir = folders::RuntimeDir(&refused);
  if (!refused.empty())
    std::fprintf(stderr, "zov-q5r: XDG_RUNTIME_DIR is not used for the instance lock: %s\n", refused.c_str());
  if (dir.empty()) {
    // The data folder, kept private. A home may be shared by several
    // machines, and a lock holds for its own machine only.
    dir = folders::DataDir();
    std::string why;
    if (dir.empty() || !folders::MakePrivateDir(dir, &why)) {
      std::fprintf(stderr, "zov-q5r: no private folder for the instance lock (%s)\n",
                   dir.empty() ? "no runtime folder, no home" : why.c_str());
      return QString();
    }
    name += QLatin1Char('-') + QSysInfo::machineHostName();
  }
  return QDir(QString::fromStdString(dir.string())).filePath(name + QStringLiteral(".lock"));
}

TSingleInstance::TSingleInstance(const QString& title) : path_(InstanceLockPath(title)) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Acquire() {
  if (path_.isEmpty()) {
    std::fprintf(stderr, "zov-q5r: starting without the instance lock\n");
    return true;
  }
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
