#include "serial/ComHandOver.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "serial/ComError.h"

TComHandOver::TPoster TComHandOver::GuiThreadPoster() {
  return [](std::shared_ptr<TComHandOver> h) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
      h->RunPending();
      return;
    }
    // The queued call holds the hand-over alive; if the job has been taken
    // by a close meanwhile it finds nothing to run.
    QMetaObject::invokeMethod(app, [h] { h->RunPending(); }, Qt::QueuedConnection);
  };
}

void TComHandOver::Deliver(std::function<void()> job) {
  std::unique_lock lock(m_);
  if (cancelled_) return;
  cv_.wait(lock, [&] { return state_ == State::Idle; });  // one job at a time
  if (cancelled_) return;
  job_ = std::move(job);
  state_ = State::Pending;
  ++seq_;
  cv_.notify_all();  // a close may be waiting to run it
  lock.unlock();
  poster_(shared_from_this());
  lock.lock();
  cv_.wait(lock, [&] { return state_ == State::Idle; });
}

bool TComHandOver::RunPending() {
  std::function<void()> job;
  uint64_t seq;
  {
    std::lock_guard lock(m_);
    if (state_ != State::Pending) return false;
    job = std::move(job_);
    job_ = nullptr;
    state_ = State::Running;
    runner_ = std::this_thread::get_id();
    seq = seq_;
  }
  try {
    job();
  } catch (...) {
    try {
      ShowApplicationError(std::current_exception());
    } catch (...) {
    }
  }
  {
    std::lock_guard lock(m_);
    if (state_ == State::Running && seq_ == seq) {
      state_ = State::Idle;
      runner_ = {};
    }
  }
  // Told after the lock is let go: a waiter woken under it would only
  // block on the lock again, two more thread switches for every batch.
  cv_.notify_all();
  return true;
}

void TComHandOver::MarkFinished() {
  std::lock_guard lock(m_);
  finished_ = true;
  cv_.notify_all();
}

void TComHandOver::WaitFinished() {
  std::unique_lock lock(m_);
  for (;;) {
    if (state_ == State::Running && runner_ == std::this_thread::get_id()) {
      // Closed from inside the job being run: the event thread is blocked
      // on that very job; release it, and let the job stop at its next check.
      cancelled_ = true;
      state_ = State::Idle;
      runner_ = {};
      cv_.notify_all();
    }
    if (finished_) break;
    if (state_ == State::Pending) {
      lock.unlock();
      RunPending();
      lock.lock();
      continue;
    }
    cv_.wait(lock);
  }
  cancelled_ = true;
}

void TComHandOver::Cancel() {
  std::lock_guard lock(m_);
  cancelled_ = true;
  if (state_ == State::Running && runner_ == std::this_thread::get_id()) {
    state_ = State::Idle;
    runner_ = {};
  }
  cv_.notify_all();
}

bool TComHandOver::Cancelled() const {
  std::lock_guard lock(m_);
  return cancelled_;
}

void PostToGuiThread(std::function<void()> job) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    job();
    return;
  }
  QMetaObject::invokeMethod(app, std::move(job), Qt::QueuedConnection);
}

void PostApplicationError(std::exception_ptr error) {
  PostToGuiThread([error] { ShowApplicationError(error); });
}
