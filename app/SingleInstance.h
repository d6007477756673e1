#pragma once
// Only one instance of the program runs per user: the running one holds a
// lock file named after its main window's title in the user's runtime
// directory. A lock left behind by a crashed instance (its process is gone)
// is taken over.
#include <QString>
#include <memory>

class QLockFile;

class TSingleInstance {
 public:
  explicit TSingleInstance(const QString& title);
  ~TSingleInstance();
  // True when this is the only instance; the lock is then held until the
  // object is destroyed. When the lock cannot be made at all (no writable
  // directory), the start is allowed: the guard must never keep a
  // technician from working.
  bool Acquire();
  QString LockPath() const { return path_; }

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};

// The lock file for a main window title: in the runtime directory (or the
// temporary one, then with the user id in the name).
QString InstanceLockPath(const QString& title);

// "Program lze spustit pouze jednou !" in a stop box with OK only.
void ShowAlreadyRunning(const QString& title);
