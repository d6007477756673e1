#pragma once
// The event thread of an open port: it waits for the device's line events
// and delivers each completed wait as SyncMethod says. Internal to the serial
// component.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "serial/ComDevice.h"
#include "serial/ComHandOver.h"
#include "serial/ComSettings.h"

class TComLossReport;
class TComNotifyWindow;

// What the running thread shares with the port; kept alive by the thread
// itself, so a thread left behind by a close from its own handler
// (smNone) never touches a freed port.
struct TComThreadState {
  // The port's notification of one event; called only while the hand-over
  // is not cancelled (the port may be gone afterwards).
  std::function<void(TComEvent)> dispatch;
  std::shared_ptr<IComDevice> device;
  std::shared_ptr<TComHandOver> handOver;
  TComNotifyWindow* notifyWindow = nullptr;  // smWindowSync only
  TComEvents events;
  TSyncMethod syncMethod = smThreadSync;
  std::shared_ptr<TComLossReport> loss;  // a failed wait is reported through it
  std::atomic<bool> stop{false};
};

class TComThread {
 public:
  // Sets the device's event mask from events on the calling thread (a
  // failure is not examined), then starts waiting.
  TComThread(std::function<void(TComEvent)> dispatch, std::shared_ptr<IComDevice> device, TComEvents events,
             TSyncMethod syncMethod, TComNotifyWindow* notifyWindow, TComHandOver::TPoster poster,
             std::shared_ptr<TComLossReport> loss);
  ~TComThread();  // RequestStop, then WaitFor
  TComThread(const TComThread&) = delete;
  TComThread& operator=(const TComThread&) = delete;

  void RequestStop();
  // Waits until the thread has ended, running a batch it hands over
  // meanwhile; never deadlocks, also when called from one of its handlers.
  void WaitFor();

 private:
  static void Execute(std::shared_ptr<TComThreadState> s);
  static void DeliverEvents(const std::shared_ptr<TComThreadState>& s, TComEvents events);

  std::shared_ptr<TComThreadState> state_;
  std::thread thread_;
};

