#include "serial/ComThread.h"

#include <QCoreApplication>
#include <QMetaObject>


// ---------------------------------------------------------------------------
// Hand-over

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
    cv_.notify_all();
  }
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

void PostApplicationError(std::exception_ptr error) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    ShowApplicationError(error);
    return;
  }
  QMetaObject::invokeMethod(app, [error] { ShowApplicationError(error); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Thread

const TComEvent TComThread::kDispatchOrder[10] = {evRxChar, evTxEmpty, evBreak, evRing,  evCTS,
                                                  evDSR,    evRxFlag,  evRLSD,  evError, evRx80Full};

TComThread::TComThread(TCustomComPort* port, std::shared_ptr<IComDevice> device, TComEvents events,
                       TSyncMethod syncMethod, TComNotifyWindow* notifyWindow, TComHandOver::TPoster poster)
    : state_(std::make_shared<TComThreadState>()) {
  state_->port = port;
  state_->device = std::move(device);
  state_->handOver = std::make_shared<TComHandOver>(std::move(poster));
  state_->notifyWindow = notifyWindow;
  state_->events = events;
  state_->syncMethod = syncMethod;
  try {
    state_->device->SetCommMask(EventsToMask(events));
  } catch (...) {
    // not examined: a device that cannot wait reports it from the wait
  }
  thread_ = std::thread(&TComThread::Execute, state_);
}

TComThread::~TComThread() {
  RequestStop();
  WaitFor();
}

void TComThread::RequestStop() {
  state_->stop = true;
  try {
    state_->device->CancelWait();
  } catch (...) {
  }
}

void TComThread::WaitFor() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Closed from one of its own handlers (smNone): it ends by itself once
    // the handler returns, touching nothing of the port any more.
    state_->handOver->Cancel();
    thread_.detach();
    return;
  }
  state_->handOver->WaitFinished();
  thread_.join();
}

void TComThread::Execute(std::shared_ptr<TComThreadState> s) {
  for (;;) {
    uint32_t mask = 0;
    try {
      mask = s->device->WaitCommEvent();
    } catch (const ComOsError& e) {
      // The device failed or vanished: stop waiting (never spin on it) and
      // tell the user, unless the port is being closed anyway.
      if (!s->stop) PostApplicationError(std::make_exception_ptr(EComPort(21, e.WinCode(), e.SysErrno())));
      break;
    } catch (...) {
      if (!s->stop) PostApplicationError(std::current_exception());
      break;
    }
    if (s->stop || mask == 0) break;
    TComEvents events = MaskToEvents(mask) * s->events;
    if (!events.Empty()) DeliverEvents(s, events);
    if (s->handOver->Cancelled()) break;
  }
  try {
    s->device->SetCommMask(0);
  } catch (...) {
  }
  try {
    s->device->PurgeComm(purge::TXCLEAR | purge::RXCLEAR);
  } catch (...) {
  }
  s->handOver->MarkFinished();
}

void TComThread::DeliverEvents(const std::shared_ptr<TComThreadState>& s, TComEvents events) {
  switch (s->syncMethod) {
    case smThreadSync: {
      // One batch, run on the GUI thread while this thread waits.
      TComHandOver* h = s->handOver.get();
      TCustomComPort* port = s->port;
      h->Deliver([h, port, events] {
        for (TComEvent e : kDispatchOrder) {
          if (!events.Contains(e)) continue;
          if (h->Cancelled()) return;  // closed (or destroyed) by a handler: touch nothing
          try {
            port->DispatchEvent(e);
          } catch (...) {
            ShowApplicationError(std::current_exception());
          }
        }
      });
      break;
    }
    case smWindowSync: {
      // One message per event, each handled before the next is sent.
      TComHandOver* h = s->handOver.get();
      TComNotifyWindow* window = s->notifyWindow;
      for (TComEvent e : kDispatchOrder) {
        if (!events.Contains(e)) continue;
        if (h->Cancelled()) return;
        const uintptr_t flag = EventsToMask(TComEvents{e});
        h->Deliver([h, window, flag] {
          if (!h->Cancelled() && window) window->WindowProc(TCustomComPort::PortEventMessage, flag, 0);
        });
      }
      break;
    }
    case smNone:
      for (TComEvent e : kDispatchOrder) {
        if (!events.Contains(e)) continue;
        if (s->handOver->Cancelled()) return;
        try {
          s->port->DispatchEvent(e);
        } catch (...) {
          PostApplicationError(std::current_exception());
        }
      }
      break;
  }
}
