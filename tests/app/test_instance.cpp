// One instance per user: a second start is refused with its message and
// ends with exit code 0; a lock left by a crashed instance does not block.
// The first instance is the program as a process; the second start runs in
// this test program, which answers its message box. Service mode, which
// changes the main window's title, does not change who refuses whom.
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <unistd.h>

#include "AppTest.h"
#include "app/Forms.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "app/ZOV.h"
#include "folders/Folders.h"

namespace {

const QString kTitle = QString::fromUtf8(kMainCaption);

// The program as a process, with a runtime directory shared by the
// instances of one test.
class Instance {
 public:
  explicit Instance(const QString& runtimeDir, const QStringList& args = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ZOV_EXE), args);
  }
  ~Instance() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(10000);
    }
  }
  QProcess process;
};

QString LockIn(const QString& runtimeDir) {
  return QDir(runtimeDir).filePath(InstanceLockName(kTitle) + QStringLiteral(".lock"));
}

}  // namespace

// Which of the two starts is in service mode, whose title differs.
struct Modes {
  bool firstServis;
  bool secondServis;
};

class SingleInstanceModes : public ::testing::TestWithParam<Modes> {};

TEST_P(SingleInstanceModes, ASecondStartShowsTheMessageAndEndsWithCodeZero) {
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  Instance first(runtime.path(), GetParam().firstServis ? QStringList{QStringLiteral("--servis")} : QStringList{});
  ASSERT_TRUE(first.process.waitForStarted(10000));
  const QString lock = LockIn(runtime.path());
  ASSERT_TRUE(WaitUntil([&] { return LockHeldBy(lock, first.process.processId()); }, 20000));

  SeenMessageBox box;
  CloseNextMessageBox(&box);
  TStartOptions second;
  second.servis = GetParam().secondServis;
  EXPECT_EQ(RunProgram(second), 0);
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, kTitle);
  EXPECT_EQ(box.text, QStringLiteral("Program lze spustit pouze jednou !"));
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(ZOV, nullptr);  // no window was made

  // The running instance is unaffected.
  EXPECT_EQ(first.process.state(), QProcess::Running);
  EXPECT_TRUE(LockHeldBy(lock, first.process.processId()));
}

INSTANTIATE_TEST_SUITE_P(EitherInServiceMode, SingleInstanceModes,
                         ::testing::Values(Modes{false, false}, Modes{true, false}, Modes{false, true}));

TEST(SingleInstance, ALockLeftByACrashedInstanceDoesNotBlock) {
  QTemporaryDir runtime;
  // A lock file whose owner is gone: the pid of a process that has ended.
  QProcess dead;
  dead.start(QStringLiteral("/bin/true"), {});
  ASSERT_TRUE(dead.waitForFinished(10000));
  const qint64 deadPid = dead.processId() ? dead.processId() : 999999;
  const QString lock = LockIn(runtime.path());
  {
    QFile f(lock);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::number(deadPid) + "\nzov-q5r\n" + QSysInfo::machineHostName().toUtf8() + "\n");
  }

  Instance next(runtime.path());
  ASSERT_TRUE(next.process.waitForStarted(10000));
  ASSERT_TRUE(WaitUntil([&] { return LockHeldBy(lock, next.process.processId()); }, 20000));
  EXPECT_EQ(next.process.state(), QProcess::Running);
}

TEST(SingleInstance, TheLockIsHeldWhileTheGuardLivesAndFreedAfterwards) {
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  {
    TSingleInstance first(kTitle);
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.LockPath().startsWith(runtime.path()));
    TSingleInstance second(kTitle);
    EXPECT_FALSE(second.Acquire());
  }
  TSingleInstance again(kTitle);
  EXPECT_TRUE(again.Acquire());
}

// A runtime folder that others may write in is not used for the lock, nor
// is the shared temporary folder: there another user could plant a lock
// naming a running process of the program's name (this test's own process
// holds the planted locks here) and keep the program from starting. The
// lock goes to a folder of the user's alone.
TEST(SingleInstance, IsNeverKeptWhereAnotherUserCouldPlantOne) {
  QTemporaryDir base, tmp;
  const QByteArray oldTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", tmp.path().toUtf8());
  const QString lockName = InstanceLockName(kTitle);
  // Where the lock used to go when the runtime folder could not be used.
  QLockFile plantedInTmp(QDir(tmp.path()).filePath(QStringLiteral("%1-%2.lock").arg(lockName).arg(::getuid())));
  ASSERT_TRUE(plantedInTmp.tryLock(0));
  const auto folder = [&](const char* name, QFile::Permissions permissions) {
    const QString path = QDir(base.path()).filePath(QString::fromLatin1(name));
    QDir().mkdir(path);
    QFile::setPermissions(path, permissions);
    return path;
  };
  const QFile::Permissions own = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
  const QFile::Permissions everyone = own | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
  const QString foreign = folder("foreign", own);
  const bool root = ::geteuid() == 0;
  if (root) ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
  QStringList runtimes{folder("world", everyone), folder("group", own | QFile::WriteGroup | QFile::ExeGroup),
                       QStringLiteral("relative/runtime")};
  if (root) runtimes << foreign;
  for (const QString& runtime : runtimes) {
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    // A lock planted in the runtime folder itself.
    QLockFile planted(QDir(runtime).filePath(lockName + QStringLiteral(".lock")));
    planted.tryLock(0);
    TSingleInstance instance(kTitle);
    EXPECT_TRUE(instance.Acquire()) << runtime.toStdString();
    const QString dir = QFileInfo(instance.LockPath()).absolutePath();
    EXPECT_NE(dir, runtime);
    EXPECT_NE(dir, tmp.path());
    std::string why;
    EXPECT_TRUE(folders::IsPrivateDir(dir.toStdString(), &why)) << dir.toStdString() << ": " << why;
  }
  if (oldTmp.isNull()) qunsetenv("TMPDIR");
  else qputenv("TMPDIR", oldTmp);
}
