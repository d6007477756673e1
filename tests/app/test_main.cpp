// The test program's entry: one application object for every test, the
// offscreen platform, and a runtime and a configuration directory of the
// test's own (the instance lock and the port map live there).
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include "AppTest.h"
#include "TestWatchdog.h"

bool WaitFor(const std::function<bool()>& pred, int ms) {
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

void CloseNextMessageBox(SeenMessageBox* seen, std::function<void()> after) {
  auto* poll = new QTimer(qApp);
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, qApp, [poll, seen, after] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll->stop();
    poll->deleteLater();
    seen->seen = true;
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    box->button(QMessageBox::Ok)->click();
    if (after) Later(after);
  });
  poll->start();
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir runtime;
  QTemporaryDir config;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  InstallTestWatchdog();
  return RUN_ALL_TESTS();
}
