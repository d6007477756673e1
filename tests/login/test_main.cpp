// The test program's entry: one application object for every test, the
// offscreen platform, and a runtime and configuration directory of the
// test's own, so the port map the simulated receivers publish to is never
// the user's. The script runner of LoginTest.h.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "LoginTest.h"
#include "ui/Form.h"
#include "ui/ErrorDisplay.h"
#include "TestWatchdog.h"

Script& Script::Then(std::string what, std::function<bool()> cond, std::function<void()> action) {
  steps_.push_back(Step{std::move(what), std::move(cond), std::move(action)});
  return *this;
}

::testing::AssertionResult Script::Run(const std::function<void()>& entry, int timeoutMs) {
  std::size_t next = 0;
  bool timedOut = false;
  // The next condition is looked at only once the last action has started:
  // from then on it has either finished or opened a window of its own.
  auto actionStarted = std::make_shared<bool>(true);
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!*actionStarted || next >= steps_.size() || !steps_[next].cond()) return;
    auto action = steps_[next].action;
    ++next;
    if (!action) return;
    *actionStarted = false;
    QTimer::singleShot(0, qApp, [actionStarted, action] {
      *actionStarted = true;
      action();
    });
  });
  // Unwinding after a time-out: every modal window is closed until the
  // entry returns.
  QTimer unwind;
  unwind.setInterval(10);
  QObject::connect(&unwind, &QTimer::timeout, [] {
    QWidget* w = ActiveModal();
    if (auto* box = qobject_cast<QMessageBox*>(w)) box->done(QMessageBox::Ok);
    else if (auto* form = dynamic_cast<TForm*>(w)) form->Close();
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    timedOut = true;
    poll.stop();
    unwind.start();
  });
  poll.start();
  watchdog.start(timeoutMs);
  entry();
  poll.stop();
  unwind.stop();
  watchdog.stop();
  if (timedOut) {
    return ::testing::AssertionFailure() << "timed out after " << timeoutMs << " ms waiting for: "
                                         << (next < steps_.size() ? steps_[next].what : "the entry to return");
  }
  if (next < steps_.size())
    return ::testing::AssertionFailure() << "the entry returned before: " << steps_[next].what;
  return ::testing::AssertionSuccess();
}

bool WaitUntil(const std::function<bool()>& pred, int ms) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

QString MessageBoxText() {
  auto* box = qobject_cast<QMessageBox*>(ActiveModal());
  return box ? box->text() : QString();
}

void PressMessageBoxOk() {
  if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) box->button(QMessageBox::Ok)->click();
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir runtime;
  QTemporaryDir config;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  InstallApplicationErrorHandler();
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
