#pragma once
// Runs the GUI thread's event loop in tests.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Runs the event loop until cond() holds (checked every few ms) or timeoutMs
// passed; returns cond().
inline bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer tick;
  tick.setInterval(2);
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (cond() || clock.elapsed() > timeoutMs) loop.quit();
  });
  if (cond()) return true;
  tick.start();
  loop.exec();
  return cond();
}

// Runs the event loop for ms milliseconds.
inline void PumpFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}
