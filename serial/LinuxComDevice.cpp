// The device layer on Linux: one serial device file, opened exclusively and
// driven through termios, shaped after the Windows communications calls the
// component is written against (serial/ComDevice.h). The line settings are
// translated by serial/TermiosLine.h; received bytes pass the filter of
// serial/InputFilter.h into the input queue of serial/InputQueue.h (its 80 %
// and flow-control rules are told there); reads and writes end as
// serial/IoDeadlines.h says. This file holds the device's state and its
// system calls: the event wait, reads and writes, line status.
//
// With input flow control the queue leaves what does not fit in the kernel;
// InQue then adds the kernel's count, taken before the NUL filter.
//
// DSR: with DSR sensitivity, bytes taken while DSR is off are dropped (DSR
// is sampled when the bytes are taken); with DSR output flow a write waits
// while DSR is off (sampled every 50 ms, within the write timeouts). A
// driver without modem lines (a pty, some USB adapters) counts DSR as on,
// and modem ioctls it refuses with EINVAL or ENOTTY mean "no such line",
// never a failure.
//
// Events: the wait polls the device, a stop eventfd (CancelWait) and a
// wake-up eventfd (mask changes, bytes queued by another thread, a write
// started); nothing polls in a loop. Line signals, breaks and line errors
// are sampled with TIOCMGET and TIOCGICOUNT every 50 ms, only while the mask
// asks for them and the driver has the ioctl (TIOCMIWAIT cannot be
// interrupted, so it is never used); EV_TXEMPTY samples the transmitter
// every 10 ms after a write. A vanished device (POLLHUP, EIO, readable while
// read() gives nothing) ends the wait with 1117: bytes that came before are
// reported first and stay readable, and every later call fails with the
// same code.
#include "serial/LinuxComDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "portmap/PortNames.h"
#include "serial/InputFilter.h"
#include "serial/InputQueue.h"
#include "serial/IoDeadlines.h"
#include "serial/LinuxPoll.h"
#include "serial/TermiosLine.h"

namespace {

using Clock = TIoClock;

// A driver without modem lines (a pty, some USB adapters) refuses these.
bool NotSupported(int e) { return e == EINVAL || e == ENOTTY; }

bool Vanished(int e) { return e == EIO || e == ENXIO || e == ENODEV; }

uint32_t Sat(uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v); }

class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() { if (fd_ >= 0) ::close(fd_); }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int get() const { return fd_; }
  int release() { int f = fd_; fd_ = -1; return f; }

 private:
  int fd_;
};

class LinuxComDevice final : public IComDevice {
 public:
  // Takes over an open, locked descriptor; when the wake-ups cannot be made
  // it stays the caller's.
  LinuxComDevice(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
    // What this driver can tell about the line.
    int m = 0;
    modemOk_ = ::ioctl(fd_, TIOCMGET, &m) == 0;
    lastModem_ = modemOk_ ? m : 0;
    serial_icounter_struct ic{};
    icountOk_ = ::ioctl(fd_, TIOCGICOUNT, &ic) == 0;
    evCount_ = ceCount_ = ic;
    unsigned int lsr = 0;
    lsrOk_ = ::ioctl(fd_, TIOCSERGETLSR, &lsr) == 0;
  }

  ~LinuxComDevice() override {
    ::ioctl(fd_, TIOCNXCL);  // the lock goes with the descriptor
    ::close(fd_);
  }

  void SetupComm(uint32_t inQueue, uint32_t /*outQueue: Linux has no such size*/) override {
    std::lock_guard lk(mu_);
    if (input_.SetSize(inQueue)) Raise(ev::RX80FULL);
    KickLocked();
  }

  void SetCommState(const TDCB& d) override {
    termios current{};
    if (::tcgetattr(fd_, &current) != 0) ThrowOsError(errno, "tcgetattr");
    const TLineSetup line = LineSetupForDcb(d, current);
    {
      // Under the lock and in one call: the filter changes with the line,
      // and a failure leaves both as they were.
      std::lock_guard lk(mu_);
      ApplyLineSetup(fd_, line);
      filter_.Configure(line.filter);
      dsrSensitive_ = line.dsrSensitive;
      dsrOutFlow_ = line.dsrOutFlow;
      input_.SetFlowControlled(line.inputFlowControl);
      KickLocked();
    }
    SetLine(TIOCM_DTR, line.dtr);
    const bool toggled = line.rts == TRtsMode::kToggle && SetRs485(true);
    if (!toggled && rs485_) SetRs485(false);
    // With CRTSCTS the driver drives RTS itself; a toggle without RS-485
    // holds it off.
    if (line.rts != TRtsMode::kHandshake && !toggled) SetLine(TIOCM_RTS, line.rts == TRtsMode::kOn);
  }

  void SetCommTimeouts(const TCommTimeouts& t) override {
    std::lock_guard lk(mu_);
    timeouts_ = t;
  }

  uint32_t Read(char* buf, uint32_t n) override {
    if (n == 0) return 0;
    std::unique_lock lk(mu_);
    const TReadLimits limits = ReadLimits(timeouts_, n);
    const uint64_t abortGen = rxAbortGen_;
    const auto start = Clock::now();
    uint32_t got = 0;
    std::optional<Clock::time_point> lastByte;
    for (;;) {
      const size_t want = n - got;
      // The own queue first: what it cannot give comes from the kernel.
      if (input_.Count() < want) DrainLocked(input_.Intake(want), false);
      const TInputQueue::TTaken taken = input_.Take(buf + got, want);
      if (taken.emptied) pending_ &= ~ev::RXCHAR;  // the reader has it all: nothing to announce
      if (taken.intakeAgain) KickLocked();         // room again: the wait takes from the kernel again
      if (taken.count) {
        got += static_cast<uint32_t>(taken.count);
        lastByte = Clock::now();
      }
      if (limits.Done(got, n) || dead_) break;
      const std::optional<Clock::time_point> deadline = ReadDeadline(limits, start, lastByte);
      if (deadline && Clock::now() >= *deadline) break;
      // Wait for the kernel, for the event wait queueing bytes, or for an abort.
      ++readersWaiting_;
      lk.unlock();
      pollfd p[2] = {{fd_, POLLIN, 0}, {rxWake_.Fd(), POLLIN, 0}};
      PollRetry(p, 2, PollTimeoutUntil(deadline));
      lk.lock();
      --readersWaiting_;
      rxWake_.Consume();
      if (rxAbortGen_ != abortGen) break;
    }
    if (got == 0 && dead_) ThrowOsError(deadErrno_, "read " + path_);
    return got;
  }

  uint32_t Write(const char* buf, uint32_t n) override {
    if (n == 0) return 0;
    TCommTimeouts to;
    uint64_t abortGen;
    bool dsrFlow;
    {
      std::lock_guard lk(mu_);
      if (dead_) ThrowOsError(deadErrno_, "write " + path_);
      to = timeouts_;
      abortGen = txAbortGen_;
      dsrFlow = dsrOutFlow_ && modemOk_;
    }
    std::optional<Clock::time_point> deadline;
    if (const auto limit = WriteLimit(to, n)) deadline = Clock::now() + *limit;
    uint32_t done = 0;
    int failure = 0;
    while (done < n) {
      if (TxAborted(abortGen)) break;
      int events = POLLOUT;
      int timeout = PollTimeoutUntil(deadline);
      if (dsrFlow && !DsrOn()) {  // held back: look again in a while
        events = 0;
        timeout = ShorterPollTimeout(timeout, kSampleMs);
      } else {
        ssize_t r = ::write(fd_, buf + done, n - done);
        if (r > 0) { done += static_cast<uint32_t>(r); continue; }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) { failure = errno; break; }
      }
      if (deadline && Clock::now() >= *deadline) break;
      pollfd p[2] = {{fd_, static_cast<short>(events), 0}, {txWake_.Fd(), POLLIN, 0}};
      PollRetry(p, 2, timeout);
      if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) { failure = EIO; break; }
    }
    std::lock_guard lk(mu_);
    if (failure) {
      if (Vanished(failure)) {
        MarkDeadLocked(failure);
        failure = deadErrno_;  // one loss, one reason: what every later call reports too
      }
      ThrowOsError(failure, "write " + path_);
    }
    if (done > 0) {
      txPending_ = (mask_ & ev::TXEMPTY) != 0;
      if (txPending_) KickLocked();
    }
    return done;
  }

  TComStat ClearCommError() override {
    std::lock_guard lk(mu_);
    DrainLocked(input_.Intake(), false);
    TComStat st;
    st.InQue = Sat(input_.Count());
    if (dead_) {
      // What was received before the device went stays readable.
      if (input_.Count() == 0) ThrowOsError(deadErrno_, "line status of " + path_);
      st.Errors = std::exchange(ceErrors_, 0);
      return st;
    }
    if (icountOk_) {
      serial_icounter_struct ic{};
      if (::ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
        if (ic.frame != ceCount_.frame) ceErrors_ |= ce::FRAME;
        if (ic.overrun != ceCount_.overrun) ceErrors_ |= ce::OVERRUN;
        if (ic.parity != ceCount_.parity) ceErrors_ |= ce::RXPARITY;
        if (ic.brk != ceCount_.brk) ceErrors_ |= ce::BREAK;
        if (ic.buf_overrun != ceCount_.buf_overrun) ceErrors_ |= ce::RXOVER;
        ceCount_ = ic;
      } else if (!NotSupported(errno)) {
        ThrowOsError(errno, "TIOCGICOUNT");
      }
    }
    st.Errors = std::exchange(ceErrors_, 0);
    int v = 0;
    if (input_.FlowControlled()) {  // bytes the own queue left in the kernel
      if (::ioctl(fd_, FIONREAD, &v) != 0) ThrowOsError(errno, "FIONREAD");
      st.InQue = Sat(uint64_t{st.InQue} + static_cast<uint32_t>(std::max(v, 0)));
    }
    if (::ioctl(fd_, TIOCOUTQ, &v) != 0) ThrowOsError(errno, "TIOCOUTQ");
    st.OutQue = static_cast<uint32_t>(std::max(v, 0));
    return st;
  }

  uint32_t GetCommModemStatus() override {
    int m = 0;
    if (::ioctl(fd_, TIOCMGET, &m) != 0) {
      if (NotSupported(errno)) return 0;  // no modem lines: all off
      ThrowOsError(errno, "TIOCMGET");
    }
    return ModemToMs(m);
  }

  void PurgeComm(uint32_t flags) override {
    if (flags & ~(purge::TXABORT | purge::RXABORT | purge::TXCLEAR | purge::RXCLEAR))
      ThrowOsError(EINVAL, "purge of " + path_);
    std::lock_guard lk(mu_);
    if (flags & purge::TXABORT) {
      ++txAbortGen_;
      txWake_.Signal();
    }
    if (flags & purge::RXABORT) {
      ++rxAbortGen_;
      rxWake_.Signal();
    }
    // A vanished device has no queues left to empty: not a failure.
    if ((flags & purge::TXCLEAR) && ::tcflush(fd_, TCOFLUSH) != 0 && !dead_ && !Vanished(errno))
      ThrowOsError(errno, "tcflush");
    if (flags & purge::TXCLEAR) txPending_ = false;
    if (flags & purge::RXCLEAR) {
      if (::tcflush(fd_, TCIFLUSH) != 0 && !dead_ && !Vanished(errno)) ThrowOsError(errno, "tcflush");
      input_.Clear();
      filter_.Reset();
      pending_ &= ~(ev::RXCHAR | ev::RXFLAG | ev::RX80FULL);
      KickLocked();
    }
  }

  void SetCommMask(uint32_t mask) override {
    std::lock_guard lk(mu_);
    const uint32_t added = mask & ~mask_;
    mask_ = mask;
    if (mask == 0) ++maskZeroGen_;
    pending_ &= mask_;
    // Start watching a line from its present state.
    if (added & (ev::CTS | ev::DSR | ev::RLSD | ev::RING)) SampleModem(false);
    if (added & (ev::BREAK | ev::ERR | ev::RING)) SampleCounters(false);
    if (!(mask_ & ev::TXEMPTY)) txPending_ = false;
    KickLocked();
  }

  uint32_t WaitCommEvent() override {
    std::unique_lock lk(mu_);
    if (stop_.Consume()) return 0;
    if (dead_) ThrowOsError(deadErrno_, "event wait on " + path_);
    // An empty mask ends a wait, also one that starts after SetCommMask(0):
    // a stop by the mask cannot be lost to timing.
    if (mask_ == 0) return 0;
    const uint64_t zeroGen = maskZeroGen_;
    ++waiters_;
    struct Leave {
      LinuxComDevice* d;
      ~Leave() { --d->waiters_; }
    } leave{this};
    SampleLocked();
    for (;;) {
      if (const uint32_t got = pending_ & mask_) {
        pending_ &= ~got;
        return got;
      }
      if (dead_) ThrowOsError(deadErrno_, "event wait on " + path_);
      const bool watchInput = (mask_ & (ev::RXCHAR | ev::RXFLAG | ev::RX80FULL)) && input_.TakesInput();
      int timeout = -1;
      if ((modemOk_ && (mask_ & (ev::CTS | ev::DSR | ev::RLSD | ev::RING))) ||
          (icountOk_ && (mask_ & (ev::BREAK | ev::ERR | ev::RING))))
        timeout = kSampleMs;
      if (txPending_) timeout = ShorterPollTimeout(timeout, kTxSampleMs);
      lk.unlock();
      // POLLHUP and POLLERR are reported even when input is not watched.
      pollfd p[3] = {{stop_.Fd(), POLLIN, 0},
                     {kick_.Fd(), POLLIN, 0},
                     {fd_, static_cast<short>(watchInput ? POLLIN : 0), 0}};
      int r = PollRetry(p, 3, timeout);
      const int pollErr = errno;
      lk.lock();
      if (r < 0) ThrowOsError(pollErr, "poll");
      if (p[0].revents) {
        stop_.Consume();
        return 0;
      }
      if (p[1].revents) kick_.Consume();
      if (maskZeroGen_ != zeroGen) return 0;  // SetCommMask(0) meanwhile
      if (p[2].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        // Take what it still holds, then the device counts as gone: the
        // bytes are reported now, the loss at the next wait.
        if (p[2].revents & POLLIN) DrainLocked(SIZE_MAX, true);
        MarkDeadLocked(EIO);
      } else if (p[2].revents & POLLIN) {
        // Bounded, so a far side writing faster than we drain cannot keep
        // the wait from reporting (or from seeing a stop request).
        DrainLocked(std::min<size_t>(input_.Intake(), kWaitDrainBytes), true);
      }
      if (!dead_) SampleLocked();
    }
  }

  void CancelWait() override { stop_.Signal(); }

private:
  static constexpr int kSampleMs = 50;    // modem lines and line counters
  static constexpr int kTxSampleMs = 10;  // waiting for the transmitter to empty
  static constexpr size_t kWaitDrainBytes = 64 * 1024;  // per wake-up of the event wait

  static uint32_t ModemToMs(int m) {
    uint32_t s = 0;
    if (m & TIOCM_CTS) s |= ms::CTS_ON;
    if (m & TIOCM_DSR) s |= ms::DSR_ON;
    if (m & TIOCM_RNG) s |= ms::RING_ON;
    if (m & TIOCM_CAR) s |= ms::RLSD_ON;
    return s;
  }

  void KickLocked() {
    if (waiters_ > 0) kick_.Signal();
  }

  void Raise(uint32_t e) { pending_ |= e & mask_; }

  void MarkDeadLocked(int e) {
    if (!dead_) {
      dead_ = true;
      deadErrno_ = e;
    }
    if (readersWaiting_) rxWake_.Signal();
    KickLocked();  // a wait that does not poll the device learns it so
  }

  // fromWait: taken by the event wait itself, which needs no wake-up.
  void IngestLocked(const unsigned char* p, size_t n, bool fromWait) {
    if (dsrSensitive_ && modemOk_ && !DsrOn()) return;  // ignored while DSR is off
    kept_.clear();
    if (filter_.Filter(p, n, kept_)) Raise(ev::RXFLAG);
    if (kept_.empty()) return;
    if (input_.Push(kept_)) Raise(ev::RX80FULL);
    Raise(ev::RXCHAR);
    if (readersWaiting_) rxWake_.Signal();
    if (!fromWait) KickLocked();
  }

  // Moves up to maxBytes from the kernel through the filter into the own
  // queue. A device found gone is marked dead (not thrown: what was queued
  // before stays readable); other failures throw.
  void DrainLocked(size_t maxBytes, bool fromWait) {
    if (dead_) return;
    unsigned char tmp[4096];
    size_t total = 0;
    bool rechecked = false;
    while (total < maxBytes) {
      const size_t want = std::min(sizeof tmp, maxBytes - total);
      const ssize_t r = ::read(fd_, tmp, want);
      if (r > 0) {
        total += static_cast<size_t>(r);
        IngestLocked(tmp, static_cast<size_t>(r), fromWait);
        // A short read emptied the kernel's buffer: asking again would only
        // cost a system call (later bytes wake the wait).
        if (static_cast<size_t>(r) < want) return;
        continue;
      }
      if (r < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return;
        if (Vanished(errno)) { MarkDeadLocked(errno); return; }
        ThrowOsError(errno, "read " + path_);
      }
      // read() gives 0 both for "nothing there" (VMIN = VTIME = 0) and for
      // a hung-up device; only a device with nothing to give tells apart.
      if (total > 0) return;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0) return;  // plainly empty
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) { MarkDeadLocked(EIO); return; }
      if (rechecked) { MarkDeadLocked(EIO); return; }  // readable, yet read() gives nothing
      rechecked = true;  // bytes may have come in just now: once more
    }
  }

  bool DsrOn() {
    int m = 0;
    if (::ioctl(fd_, TIOCMGET, &m) != 0) return true;
    return m & TIOCM_DSR;
  }

  // Modem lines and line counters against the wait's last look at them.
  void SampleLocked() {
    if (mask_ & (ev::CTS | ev::DSR | ev::RLSD | ev::RING)) SampleModem(true);
    if (mask_ & (ev::BREAK | ev::ERR | ev::RING)) SampleCounters(true);
    if (txPending_ && TxEmpty()) {
      txPending_ = false;
      Raise(ev::TXEMPTY);
    }
  }

  void SampleModem(bool report) {
    if (!modemOk_) return;
    int m = 0;
    if (::ioctl(fd_, TIOCMGET, &m) != 0) {
      if (Vanished(errno)) MarkDeadLocked(errno);
      return;
    }
    const int changed = m ^ lastModem_;
    if (report) {
      if (changed & TIOCM_CTS) Raise(ev::CTS);
      if (changed & TIOCM_DSR) Raise(ev::DSR);
      if (changed & TIOCM_CAR) Raise(ev::RLSD);
      if ((changed & TIOCM_RNG) && (m & TIOCM_RNG)) Raise(ev::RING);
    }
    lastModem_ = m;
  }

  void SampleCounters(bool report) {
    if (!icountOk_) return;
    serial_icounter_struct ic{};
    if (::ioctl(fd_, TIOCGICOUNT, &ic) != 0) {
      if (Vanished(errno)) MarkDeadLocked(errno);
      return;
    }
    if (report) {
      if (ic.brk != evCount_.brk) Raise(ev::BREAK);
      if (ic.frame != evCount_.frame || ic.overrun != evCount_.overrun || ic.parity != evCount_.parity)
        Raise(ev::ERR);
      if (ic.rng != evCount_.rng) Raise(ev::RING);  // pulses too short for a sample
    }
    evCount_ = ic;
  }

  bool TxEmpty() {
    if (lsrOk_) {
      unsigned int lsr = 0;
      if (::ioctl(fd_, TIOCSERGETLSR, &lsr) == 0) return lsr & TIOCSER_TEMT;
    }
    int q = 0;
    if (::ioctl(fd_, TIOCOUTQ, &q) != 0) return true;  // nothing more to learn
    return q == 0;
  }

  bool TxAborted(uint64_t gen) {
    txWake_.Consume();
    std::lock_guard lk(mu_);
    return txAbortGen_ != gen;
  }

  void SetLine(int line, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !NotSupported(errno))
      ThrowOsError(errno, on ? "TIOCMBIS" : "TIOCMBIC");
  }

  // RTS on while sending, by the driver; false when it cannot.
  bool SetRs485(bool on) {
    serial_rs485 rs{};
    if (on) rs.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    if (::ioctl(fd_, TIOCSRS485, &rs) != 0) return false;
    rs485_ = on;
    return true;
  }

  const int fd_;
  const std::string path_;
  TWakeFd stop_;    // CancelWait: ends the pending (or next) wait
  TWakeFd kick_;    // wakes the wait to look again (mask, queue, write)
  TWakeFd rxWake_;  // wakes a blocked Read (bytes queued, abort, vanished)
  TWakeFd txWake_;  // wakes a blocked Write (abort)
  bool modemOk_ = false, icountOk_ = false, lsrOk_ = false;
  bool rs485_ = false;  // SetCommState's own (GUI thread only)

  std::mutex mu_;  // everything below
  TInputQueue input_;
  TInputFilter filter_;
  std::string kept_;  // what the filter keeps of one read, on its way into the queue
  bool dsrSensitive_ = false, dsrOutFlow_ = false;
  TCommTimeouts timeouts_{kMaxDword, 0, 0, 0, 0};
  uint32_t mask_ = 0;
  uint32_t pending_ = 0;  // events not yet reported, within the mask
  uint64_t maskZeroGen_ = 0;
  uint64_t rxAbortGen_ = 0, txAbortGen_ = 0;
  int waiters_ = 0, readersWaiting_ = 0;
  bool txPending_ = false;
  int lastModem_ = 0;
  serial_icounter_struct evCount_{}, ceCount_{};
  uint32_t ceErrors_ = 0;
  bool dead_ = false;
  int deadErrno_ = 0;
};

}  // namespace

std::unique_ptr<IComDevice> OpenLinuxComDevicePath(const std::string& path) {
  FdGuard fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) ThrowOsError(errno, "open " + path);
  termios t{};
  if (::tcgetattr(fd.get(), &t) != 0) ThrowOsError(errno, path + " is not a serial device");
  // Exclusive use: the lock refuses a second opener even where TIOCEXCL
  // does not (root), and TIOCEXCL refuses programs that do not lock.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    ThrowOsError(e == EWOULDBLOCK ? EBUSY : e, path + " is in use");
  }
  if (::ioctl(fd.get(), TIOCEXCL) != 0) ThrowOsError(errno, "TIOCEXCL " + path);
  try {
    MakeRaw(t);
    if (::tcsetattr(fd.get(), TCSANOW, &t) != 0) ThrowOsError(errno, "tcsetattr " + path);
    auto dev = std::make_unique<LinuxComDevice>(fd.get(), path);
    fd.release();
    return dev;
  } catch (...) {
    ::ioctl(fd.get(), TIOCNXCL);
    throw;
  }
}

std::unique_ptr<IComDevice> OpenLinuxComDevice(const std::string& portName) {
  std::optional<std::filesystem::path> device;
  try {
    device = serial::ResolvePortDevice(portName);
  } catch (const std::system_error& e) {  // the system refused the device scan
    ThrowOsError(e.code().value(), "looking for " + portName);
  }
  if (!device) throw ComOsError(winerr::kFileNotFound, ENOENT, portName + ": no such port");
  return OpenLinuxComDevicePath(device->string());
}
