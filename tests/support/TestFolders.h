// A runtime, a configuration and a data folder of a test program's own, set
// in the environment for as long as the object lives, so that the instance
// lock, the port map the simulated receivers publish to and the write log
// are never the user's.
#pragma once

#include <QTemporaryDir>
#include <QtGlobal>

class TestFolders {
 public:
  TestFolders() {
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    qputenv("XDG_DATA_HOME", data_.path().toUtf8());
  }

 private:
  QTemporaryDir runtime_;
  QTemporaryDir config_;
  QTemporaryDir data_;
};
