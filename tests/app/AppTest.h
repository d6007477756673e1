#pragma once
// The app tests' fixture: every test of a fixture of this kind runs with
// the program's windows.
#include <gtest/gtest.h>

#include <QLockFile>
#include <QString>

#include "DialogTest.h"
#include "app/Forms.h"

class WithForms : public ::testing::Test {
 protected:
  void SetUp() override { CreateForms(); }
  void TearDown() override { DestroyForms(); }
};

// Whether the instance lock at lockPath is held by the process pid.
inline bool LockHeldBy(const QString& lockPath, qint64 pid) {
  QLockFile probe(lockPath);
  qint64 owner = 0;
  QString host, app;
  return probe.getLockInfo(&owner, &host, &app) && owner == pid;
}
