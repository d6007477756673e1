#include <QAbstractButton>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "DialogTest.h"
#include "ui/Form.h"
#include "ui/ErrorDisplay.h"

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
    else if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();  // a file dialog
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

QString MessageBoxText() {
  auto* box = qobject_cast<QMessageBox*>(ActiveModal());
  return box ? box->text() : QString();
}

void PressMessageBoxOk() {
  if (auto* box = qobject_cast<QMessageBox*>(ActiveModal())) box->button(QMessageBox::Ok)->click();
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
