#include "cli/Interrupt.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "cli/ExitStatus.h"

namespace cli {

namespace {

int writeEnd = -1;
const int kSignals[] = {SIGINT, SIGTERM};

void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  // A full pipe holds signals enough already.
  [[maybe_unused]] const ssize_t n = ::write(writeEnd, &byte, 1);
  errno = saved;
}

}  // namespace

TInterrupt::TInterrupt() {
  if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return;  // no pipe: the signals keep their default
  writeEnd = fds_[1];
  notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TInterrupt::Readable);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

TInterrupt::~TInterrupt() {
  if (fds_[0] < 0) return;
  for (int s : kSignals) ::signal(s, SIG_DFL);
  writeEnd = -1;
  notifier_.reset();
  ::close(fds_[0]);
  ::close(fds_[1]);
}

int TInterrupt::Status() const { return InterruptedStatus(signal_ ? signal_ : SIGINT); }

void TInterrupt::Readable() {
  unsigned char bytes[16];
  ssize_t n;
  while ((n = ::read(fds_[0], bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < n; ++i) Take(bytes[i]);
}

void TInterrupt::Take(int signal) {
  if (!signal_) signal_ = signal;
  ++count_;
  if (stopAsked_) return;
  // The first signal since the frame began lets it finish.
  if (inFrame_ && count_ == countAtFrame_ + 1) {
    if (notice_) notice_();
    return;
  }
  stopAsked_ = true;
  emit Stopped();
}

void TInterrupt::BeginFrame(std::function<void()> notice) {
  inFrame_ = true;
  countAtFrame_ = count_;
  notice_ = std::move(notice);
}

void TInterrupt::EndFrame() {
  inFrame_ = false;
  notice_ = nullptr;
}

}  // namespace cli
