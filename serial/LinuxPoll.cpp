#include "serial/LinuxPoll.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

#include "serial/ComDevice.h"

TWakeFd::TWakeFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (fd_ < 0) ThrowOsError(errno, "eventfd");
}

TWakeFd::~TWakeFd() { ::close(fd_); }

void TWakeFd::Signal() {
  uint64_t one = 1;
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool TWakeFd::Consume() {
  uint64_t v = 0;
  ssize_t r;
  while ((r = ::read(fd_, &v, sizeof v)) < 0 && errno == EINTR) {
  }
  return r == sizeof v && v != 0;
}

int PollRetry(pollfd* fds, nfds_t n, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  for (;;) {
    int r = ::poll(fds, n, timeoutMs);
    if (r >= 0 || errno != EINTR) return r;
    if (timeoutMs > 0) {
      auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      timeoutMs = static_cast<int>(std::max<long long>(0, timeoutMs - spent));
      start = Clock::now();
    }
  }
}

int PollTimeoutUntil(const std::optional<std::chrono::steady_clock::time_point>& deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

int ShorterPollTimeout(int a, int b) {
  if (a < 0) return b;
  if (b < 0) return a;
  return std::min(a, b);
}
