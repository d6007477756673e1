#include "serial/ComThread.h"

#include "serial/ComError.h"
#include "serial/ComLossReport.h"
#include "serial/ComNotifyWindow.h"

TComThread::TComThread(std::function<void(TComEvent)> dispatch, std::shared_ptr<IComDevice> device,
                       TComEvents events, TSyncMethod syncMethod, TComNotifyWindow* notifyWindow,
                       TComHandOver::TPoster poster, std::shared_ptr<TComLossReport> loss)
    : state_(std::make_shared<TComThreadState>()) {
  state_->loss = std::move(loss);
  state_->dispatch = std::move(dispatch);
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
      // tell the user, unless the port is being closed anyway, or a caller
      // has met the loss first.
      if (!s->stop) {
        PostToGuiThread([loss = s->loss, report = EComPort(21, e.WinCode(), e.SysErrno())] {
          if (!loss || loss->TakeWaitReport(report)) ShowApplicationError(std::make_exception_ptr(report));
        });
      }
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
      // One batch, run on the GUI thread while this thread waits. The job
      // carries its own copy of the dispatch: a handler that closes the port
      // ends this thread, and its state with it, while the job still runs.
      TComHandOver* h = s->handOver.get();
      h->Deliver([h, dispatch = s->dispatch, events] {
        for (TComEvent e : kDispatchOrder) {
          if (!events.Contains(e)) continue;
          if (h->Cancelled()) return;  // closed (or destroyed) by a handler: touch nothing
          try {
            dispatch(e);
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
          if (!h->Cancelled() && window) window->WindowProc(kPortEventMessage, flag, 0);
        });
      }
      break;
    }
    case smNone:
      for (TComEvent e : kDispatchOrder) {
        if (!events.Contains(e)) continue;
        if (s->handOver->Cancelled()) return;
        try {
          s->dispatch(e);
        } catch (...) {
          PostApplicationError(std::current_exception());
        }
      }
      break;
  }
}
