#pragma once
// Waiting in poll() for the Linux device layer: a wake-up that another
// thread rings to end a poll at once, a poll that carries on after a
// signal, and the timeouts it takes. Internal to the serial component.
#include <chrono>
#include <optional>

#include <poll.h>

// An eventfd: Signal makes it readable (from any thread) until Consume.
class TWakeFd {
 public:
  TWakeFd();  // throws ComOsError
  ~TWakeFd();
  TWakeFd(const TWakeFd&) = delete;
  TWakeFd& operator=(const TWakeFd&) = delete;

  int Fd() const { return fd_; }
  void Signal();
  // Makes it unreadable again; true when it had been signalled.
  bool Consume();

 private:
  int fd_;
};

// poll() that carries on after a signal, with the timeout shortened by the
// time spent.
int PollRetry(pollfd* fds, nfds_t n, int timeoutMs);

// A poll timeout in milliseconds until deadline (rounded up, never
// negative); -1 (no limit) without one.
int PollTimeoutUntil(const std::optional<std::chrono::steady_clock::time_point>& deadline);
// The shorter of two poll timeouts, -1 counting as no limit.
int ShorterPollTimeout(int a, int b);
