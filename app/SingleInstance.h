#pragma once
// Only one instance of the program runs per user: the running one holds a
// lock file named after its main window's title in the user's runtime
// folder, or, when there is no private one, in the program's data folder
// (folders/Folders.h); never where another user could write. A lock left
// behind by a crashed instance (its process is gone) is taken over.
#include <QString>
#include <memory>

class QLockFile;

class TSingleInstance {
 public:
  explicit TSingleInstance(const QString& title);
  ~TSingleInstance();
  // True when this is the only instance; the lock is then held until the
  // object is destroyed. When the lock cannot be made at all (no private
  // folder, none writable), the start is allowed, said on stderr: the guard
  // must never keep a technician from working.
  bool Acquire();
  QString LockPath() const { return path_; }

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};

// The lock's name for a main window title, its characters other than ASCII
// letters, digits and dots made "_": "ZOV_Q5r__v.4.03_".
QString InstanceLockName(const QString& title);

// The lock file for a main window title: in the private runtime folder, or
// else in the data folder (made private), then with the machine's name in
// the file's name; empty when there is neither.
QString InstanceLockPath(const QString& title);

// "Program lze spustit pouze jednou !" in a stop box with OK only.
void ShowAlreadyRunning(const QString& title);
