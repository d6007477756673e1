// The device layer on Linux: one serial device file opened exclusively and
// driven through termios, shaped after the Windows communications calls the
// component is written against (serial/ComDevice.h).
//
// What termios has no word for is done here, in user space, on an input
// queue of the layer's own (see "Input queue" below):
// - fNull (DiscardNull) is exact: every byte taken from the kernel passes one
//   filter, whoever takes it (the event wait, Read or ClearCommError), so no
//   NUL byte ever reaches Read and none is counted in InQue.
// - EvtChar: its arrival raises EV_RXFLAG.
// - EV_RX80FULL: raised when the own queue passes 80% of the SetupComm input
//   size (once per crossing).
// - fErrorChar: with fParity the kernel is asked to mark bad characters
//   (PARMRK: 0xFF 0x00 c, and 0xFF 0xFF for a real 0xFF); the filter turns
//   each mark into ErrorChar. A break is marked the same way and so also
//   arrives as ErrorChar.
// - fDsrSensitivity: bytes taken from the kernel while DSR is off are
//   discarded. DSR is sampled when the bytes are taken, not when each byte
//   arrived, so this is close but not exact at a DSR edge.
// - fOutxDsrFlow: Write holds back while DSR is off (sampled every 50 ms,
//   still bounded by the write timeouts).
// The three DSR-based settings need a driver that reports the modem lines
// (TIOCMGET); where it does not (pseudo-terminals, some USB adapters), DSR
// counts as on.
//
// What a driver cannot give, and how it is handled:
// - 1.5 stop bits: termios only knows two; CSTOPB is set (UARTs send 1.5
//   stop bits for CSTOPB with 5 data bits anyway).
// - DTR handshake (fDtrControl 2): no input flow control on DTR exists; DTR
//   is raised and left on.
// - RTS toggle (fRtsControl 3): handed to the driver's RS-485 mode (RTS on
//   while sending) where it has one; elsewhere RTS is held off.
// - CTS/RTS: CRTSCTS covers both directions at once, so fOutxCtsFlow alone or
//   fRtsControl handshake alone switches on both.
// - fTXContinueOnXoff, XonLim, XoffLim, EofChar and the output queue size:
//   Linux has fixed thresholds and no output queue size; they are ignored.
// - DTR and RTS: the kernel raises both when the device file is opened; the
//   first SetCommState sets them as asked right after.
// - Modem-control ioctls that a driver refuses with EINVAL or ENOTTY (as a
//   pseudo-terminal does) are treated as "no such line", never as failures.
// - A pseudo-terminal itself forces 8 data bits and no parity.
//
// Input queue: the event wait moves the bytes the kernel has received into
// the own queue as they arrive (through the filter above). SetupComm's input
// size is the queue's nominal size. Nothing is ever dropped to keep to it:
// without flow control the queue simply grows beyond it (no byte is lost, so
// no CE_RXOVER is reported either; CE_RXOVER means the kernel's own buffer
// overflowed). With XON/XOFF input or CTS/RTS flow control the own queue
// stops taking bytes at its nominal size, so the kernel's buffer fills and
// the kernel holds the sender off as it should (InQue then adds the kernel's
// count, taken before the NUL filter). SetupComm with an input size of 0
// keeps the default of 4096.
//
// Events: the wait is a poll() on the device, a stop eventfd (CancelWait)
// and a wake-up eventfd (mask changes, bytes queued by another thread, a
// write started), so a stop ends it at once and nothing polls in a loop.
// - EV_RXCHAR: bytes were queued. Bytes a Read takes straight from the
//   kernel raise none (the reader has them); the event character among them
//   still raises EV_RXFLAG.
// - Line signals, breaks and line errors: sampled with TIOCMGET and
//   TIOCGICOUNT inside the wait every 50 ms, only when the mask asks for
//   them and the driver has the ioctl; otherwise the wait blocks without a
//   timeout. TIOCMIWAIT is never used: it cannot be interrupted. EV_RING is
//   a rising RI edge or a step of the driver's ring counter. Changes while
//   no wait is armed are found by the next wait's first sample.
// - EV_TXEMPTY: after a write, the transmitter is sampled every 10 ms
//   (TIOCSERGETLSR, else TIOCOUTQ) until it is empty.
// - CE_ errors for ClearCommError come from TIOCGICOUNT deltas; a driver
//   without the counters reports none.
// - A non-zero SetCommMask during a wait makes it go on with the new mask;
//   SetCommMask(0) ends it with 0, and a wait started with an empty mask
//   returns 0 at once.
// - A vanished device (POLLHUP/POLLERR, readable while read() gives nothing,
//   EIO) ends the wait with 1117 (EIO); bytes that came before are reported
//   first and stay readable, and every later wait fails at once.

#include "serial/ComDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "portmap/PortNames.h"

#if defined(TCGETS2) && defined(TCSETS2)
// The kernel's termios with free speeds, for rates without a B-constant
// (glibc's <termios.h> and the kernel's <asm/termbits.h> cannot be
// included together).
struct termios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};
#ifndef BOTHER
#define BOTHER 0010000
#endif
#ifndef IBSHIFT
#define IBSHIFT 16
#endif
#define ZOV_HAVE_TERMIOS2 1
#endif

// errno -> the Windows error code the component shows:
//   ENOENT, ENODEV, ENXIO  -> 2     ERROR_FILE_NOT_FOUND (no such device)
//   EACCES, EPERM          -> 5     ERROR_ACCESS_DENIED (e.g. not in dialout)
//   EBADF                  -> 6     ERROR_INVALID_HANDLE
//   ENOMEM                 -> 8     ERROR_NOT_ENOUGH_MEMORY
//   EBUSY, EWOULDBLOCK     -> 32    ERROR_SHARING_VIOLATION (port in use;
//                                   a refused lock is reported as EBUSY)
//   EINVAL                 -> 87    ERROR_INVALID_PARAMETER (e.g. a speed
//                                   the driver cannot set)
//   ETIMEDOUT              -> 121   ERROR_SEM_TIMEOUT
//   EIO                    -> 1117  ERROR_IO_DEVICE (device vanished)
//   anything else          -> 31    ERROR_GEN_FAILURE
// The errno itself travels along in the ComOsError.
int WinCodeFromErrno(int e) {
  switch (e) {
    case ENOENT: case ENODEV: case ENXIO: return winerr::kFileNotFound;
    case EACCES: case EPERM: return winerr::kAccessDenied;
    case EBADF: return winerr::kInvalidHandle;
    case ENOMEM: return winerr::kNotEnoughMemory;
    case EBUSY: case EWOULDBLOCK: return winerr::kSharingViolation;
    case EINVAL: return winerr::kInvalidParameter;
    case ETIMEDOUT: return winerr::kSemTimeout;
    case EIO: return winerr::kIoDevice;
    default: return winerr::kGenFailure;
  }
}

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowErrno(int e, const std::string& what) {
  throw ComOsError(WinCodeFromErrno(e), e, what + ": " + std::generic_category().message(e));
}

// A driver without modem lines (a pty, some USB adapters) refuses these.
bool NotSupported(int e) { return e == EINVAL || e == ENOTTY; }

bool Vanished(int e) { return e == EIO || e == ENXIO || e == ENODEV; }

speed_t SpeedConstant(uint32_t baud) {
  switch (baud) {
    case 50: return B50; case 75: return B75; case 110: return B110; case 134: return B134;
    case 150: return B150; case 200: return B200; case 300: return B300; case 600: return B600;
    case 1200: return B1200; case 1800: return B1800; case 2400: return B2400;
    case 4800: return B4800; case 9600: return B9600; case 19200: return B19200;
    case 38400: return B38400; case 57600: return B57600; case 115200: return B115200;
    case 230400: return B230400; case 460800: return B460800; case 500000: return B500000;
    case 576000: return B576000; case 921600: return B921600; case 1000000: return B1000000;
    case 1152000: return B1152000; case 1500000: return B1500000; case 2000000: return B2000000;
#ifdef B2500000
    case 2500000: return B2500000;
#endif
#ifdef B3000000
    case 3000000: return B3000000;
#endif
#ifdef B3500000
    case 3500000: return B3500000;
#endif
#ifdef B4000000
    case 4000000: return B4000000;
#endif
    default: return B0;
  }
}

// Raw, binary line: no line editing, no echo, no signals, no translation of
// CR/LF, no output processing; the modem lines do not gate reception, and
// closing does not drop DTR. read() returns at once with what is there.
void MakeRaw(termios& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                 IUCLC | IXON | IXANY | IXOFF | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE |
                 IEXTEN | TOSTOP);
  t.c_cflag &= ~HUPCL;
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

uint32_t Sat(uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v); }

// A timeout as a duration; MAXDWORD x n can exceed what the clock counts,
// and anything beyond a hundred days is as good as no limit.
std::chrono::milliseconds Ms(uint64_t ms) {
  return std::chrono::milliseconds(std::min<uint64_t>(ms, uint64_t{100} * 24 * 3600 * 1000));
}

int MsUntil(const std::optional<Clock::time_point>& deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

int MinTimeout(int a, int b) {
  if (a < 0) return b;
  if (b < 0) return a;
  return std::min(a, b);
}

// poll() that carries on after a signal, with the timeout shortened.
int PollRetry(pollfd* fds, nfds_t n, int timeoutMs) {
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

void Signal(int efd) {
  uint64_t one = 1;
  while (::write(efd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

// Resets an eventfd; true when it had been signalled.
bool Consume(int efd) {
  uint64_t v = 0;
  ssize_t r;
  while ((r = ::read(efd, &v, sizeof v)) < 0 && errno == EINTR) {
  }
  return r == sizeof v && v != 0;
}

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

int MakeEventFd() {
  int e = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (e < 0) ThrowErrno(errno, "eventfd");
  return e;
}

class LinuxComDevice final : public IComDevice {
 public:
  // Takes over an open, locked descriptor and the four eventfds.
  LinuxComDevice(int fd, std::string path, const int (&efd)[4])
      : fd_(fd), path_(std::move(path)), stopFd_(efd[0]), kickFd_(efd[1]), rxWakeFd_(efd[2]),
        txWakeFd_(efd[3]) {
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
    ::close(stopFd_);
    ::close(kickFd_);
    ::close(rxWakeFd_);
    ::close(txWakeFd_);
  }

  void SetupComm(uint32_t inQueue, uint32_t /*outQueue: Linux has no such size*/) override {
    std::lock_guard lk(mu_);
    nominalIn_ = inQueue ? inQueue : kDefaultQueue;
    UpdateRx80Locked();
    KickLocked();
  }

  void SetCommState(const TDCB& d) override {
    const uint32_t f = d.Flags;
    const int dtr = (f >> dcb::fDtrControlShift) & 3;
    const int rts = (f >> dcb::fRtsControlShift) & 3;
    if (d.BaudRate == 0 || d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > 4 || d.StopBits > 2)
      ThrowErrno(EINVAL, "line settings for " + path_);
    const bool crtscts = (f & dcb::fOutxCtsFlow) || rts == 2;
    const bool markErrors = (f & dcb::fParity) && (f & dcb::fErrorChar);

    termios t{};
    if (::tcgetattr(fd_, &t) != 0) ThrowErrno(errno, "tcgetattr");
    MakeRaw(t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[d.ByteSize - 5];
    switch (d.Parity) {
      case 1: t.c_cflag |= PARENB | PARODD; break;
      case 2: t.c_cflag |= PARENB; break;
      case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;  // mark
      case 4: t.c_cflag |= PARENB | CMSPAR; break;           // space
      default: break;
    }
    if (d.StopBits != 0) t.c_cflag |= CSTOPB;  // 2, and 1.5 (no such setting)
    if (crtscts) t.c_cflag |= CRTSCTS;
    if (f & dcb::fParity) t.c_iflag |= INPCK;
    if (markErrors) t.c_iflag |= PARMRK;
    if (f & dcb::fOutX) t.c_iflag |= IXON;
    if (f & dcb::fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(d.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(d.XoffChar);
    const speed_t sp = SpeedConstant(d.BaudRate);
    if (sp != B0) {
      ::cfsetispeed(&t, sp);
      ::cfsetospeed(&t, sp);
    }
    {
      // Under the lock: the filter state must change with the line.
      std::lock_guard lk(mu_);
      if (::tcsetattr(fd_, TCSANOW, &t) != 0) ThrowErrno(errno, "tcsetattr");
      if (sp == B0) SetFreeSpeed(d.BaudRate);
      discardNull_ = f & dcb::fNull;
      evtChar_ = static_cast<unsigned char>(d.EvtChar);
      if (markErrors != parmrk_) markState_ = 0;
      parmrk_ = markErrors;
      errorChar_ = d.ErrorChar;
      dsrSensitive_ = f & dcb::fDsrSensitivity;
      dsrOutFlow_ = f & dcb::fOutxDsrFlow;
      flowLimited_ = (f & dcb::fInX) || crtscts;
      KickLocked();
    }
    SetLine(TIOCM_DTR, dtr != 0);  // enable, and handshake (not available: left on)
    // With CRTSCTS the kernel drives RTS itself.
    const bool toggled = rts == 3 && !crtscts && SetRs485(true);
    if (!toggled && rs485_) SetRs485(false);
    if (!crtscts && !toggled) SetLine(TIOCM_RTS, rts == 1);
  }

  void SetCommTimeouts(const TCommTimeouts& t) override {
    std::lock_guard lk(mu_);
    timeouts_ = t;
  }

  uint32_t Read(char* buf, uint32_t n) override {
    if (n == 0) return 0;
    std::unique_lock lk(mu_);
    const TCommTimeouts to = timeouts_;
    const uint64_t abortGen = rxAbortGen_;
    const auto start = Clock::now();
    const bool immediate = to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == 0 &&
                           to.ReadTotalTimeoutConstant == 0;
    // Interval MAXDWORD, multiplier MAXDWORD, a constant: the first bytes
    // end the read, or the constant does.
    const bool anyBytes = to.ReadIntervalTimeout == kMaxDword &&
                          to.ReadTotalTimeoutMultiplier == kMaxDword &&
                          to.ReadTotalTimeoutConstant != 0 && to.ReadTotalTimeoutConstant != kMaxDword;
    std::optional<Clock::time_point> total;
    if (anyBytes)
      total = start + std::chrono::milliseconds(to.ReadTotalTimeoutConstant);
    else if (to.ReadTotalTimeoutMultiplier || to.ReadTotalTimeoutConstant)
      total = start + Ms(uint64_t{to.ReadTotalTimeoutMultiplier} * n + to.ReadTotalTimeoutConstant);
    const bool useInterval =
        !anyBytes && to.ReadIntervalTimeout != 0 && to.ReadIntervalTimeout != kMaxDword;

    uint32_t got = 0;
    Clock::time_point lastByte{};
    for (;;) {
      const size_t want = n - got;
      // The own queue first: what it cannot give comes from the kernel.
      if (QueuedLocked() < want)
        DrainLocked(flowLimited_ ? std::max<size_t>(want, RoomLocked()) : SIZE_MAX, false);
      const uint32_t take = static_cast<uint32_t>(std::min<size_t>(want, QueuedLocked()));
      if (take) {
        std::memcpy(buf + got, queue_.data() + head_, take);
        TakeLocked(take);
        got += take;
        lastByte = Clock::now();
      }
      if (got == n || immediate || (anyBytes && got > 0)) break;
      if (dead_) break;
      std::optional<Clock::time_point> deadline = total;
      if (useInterval && got > 0) {
        auto iv = lastByte + std::chrono::milliseconds(to.ReadIntervalTimeout);
        if (!deadline || iv < *deadline) deadline = iv;
      }
      if (deadline && Clock::now() >= *deadline) break;
      // Wait for the kernel, for the event wait queueing bytes, or for an abort.
      ++readersWaiting_;
      lk.unlock();
      pollfd p[2] = {{fd_, POLLIN, 0}, {rxWakeFd_, POLLIN, 0}};
      PollRetry(p, 2, MsUntil(deadline));
      lk.lock();
      --readersWaiting_;
      Consume(rxWakeFd_);
      if (rxAbortGen_ != abortGen) break;
    }
    if (got == 0 && dead_) ThrowErrno(deadErrno_, "read " + path_);
    return got;
  }

  uint32_t Write(const char* buf, uint32_t n) override {
    if (n == 0) return 0;
    TCommTimeouts to;
    uint64_t abortGen;
    bool dsrFlow;
    {
      std::lock_guard lk(mu_);
      if (dead_) ThrowErrno(deadErrno_, "write " + path_);
      to = timeouts_;
      abortGen = txAbortGen_;
      dsrFlow = dsrOutFlow_ && modemOk_;
    }
    std::optional<Clock::time_point> deadline;
    if (to.WriteTotalTimeoutMultiplier || to.WriteTotalTimeoutConstant)
      deadline = Clock::now() + Ms(uint64_t{to.WriteTotalTimeoutMultiplier} * n + to.WriteTotalTimeoutConstant);
    uint32_t done = 0;
    int failure = 0;
    while (done < n) {
      if (TxAborted(abortGen)) break;
      int events = POLLOUT;
      int timeout = MsUntil(deadline);
      if (dsrFlow && !DsrOn()) {  // held back: look again in a while
        events = 0;
        timeout = MinTimeout(timeout, kSampleMs);
      } else {
        ssize_t r = ::write(fd_, buf + done, n - done);
        if (r > 0) { done += static_cast<uint32_t>(r); continue; }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) { failure = errno; break; }
      }
      if (deadline && Clock::now() >= *deadline) break;
      pollfd p[2] = {{fd_, static_cast<short>(events), 0}, {txWakeFd_, POLLIN, 0}};
      PollRetry(p, 2, timeout);
      if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) { failure = EIO; break; }
    }
    std::lock_guard lk(mu_);
    if (failure) {
      if (Vanished(failure)) MarkDeadLocked(failure);
      ThrowErrno(failure, "write " + path_);
    }
    if (done > 0) {
      txPending_ = (mask_ & ev::TXEMPTY) != 0;
      if (txPending_) KickLocked();
    }
    return done;
  }

  TComStat ClearCommError() override {
    std::lock_guard lk(mu_);
    DrainLocked(flowLimited_ ? RoomLocked() : SIZE_MAX, false);
    TComStat st;
    st.InQue = Sat(QueuedLocked());
    if (dead_) {
      // What was received before the device went stays readable.
      if (QueuedLocked() == 0) ThrowErrno(deadErrno_, "line status of " + path_);
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
        ThrowErrno(errno, "TIOCGICOUNT");
      }
    }
    st.Errors = std::exchange(ceErrors_, 0);
    int v = 0;
    if (flowLimited_) {  // bytes the own queue left in the kernel
      if (::ioctl(fd_, FIONREAD, &v) != 0) ThrowErrno(errno, "FIONREAD");
      st.InQue = Sat(uint64_t{st.InQue} + static_cast<uint32_t>(std::max(v, 0)));
    }
    if (::ioctl(fd_, TIOCOUTQ, &v) != 0) ThrowErrno(errno, "TIOCOUTQ");
    st.OutQue = static_cast<uint32_t>(std::max(v, 0));
    return st;
  }

  uint32_t GetCommModemStatus() override {
    int m = 0;
    if (::ioctl(fd_, TIOCMGET, &m) != 0) {
      if (NotSupported(errno)) return 0;  // no modem lines: all off
      ThrowErrno(errno, "TIOCMGET");
    }
    return ModemToMs(m);
  }

  void PurgeComm(uint32_t flags) override {
    if (flags & ~(purge::TXABORT | purge::RXABORT | purge::TXCLEAR | purge::RXCLEAR))
      ThrowErrno(EINVAL, "purge of " + path_);
    std::lock_guard lk(mu_);
    if (flags & purge::TXABORT) {
      ++txAbortGen_;
      Signal(txWakeFd_);
    }
    if (flags & purge::RXABORT) {
      ++rxAbortGen_;
      Signal(rxWakeFd_);
    }
    // A vanished device has no queues left to empty: not a failure.
    if ((flags & purge::TXCLEAR) && ::tcflush(fd_, TCOFLUSH) != 0 && !dead_ && !Vanished(errno))
      ThrowErrno(errno, "tcflush");
    if (flags & purge::TXCLEAR) txPending_ = false;
    if (flags & purge::RXCLEAR) {
      if (::tcflush(fd_, TCIFLUSH) != 0 && !dead_ && !Vanished(errno)) ThrowErrno(errno, "tcflush");
      queue_.clear();
      head_ = 0;
      markState_ = 0;
      pending_ &= ~(ev::RXCHAR | ev::RXFLAG | ev::RX80FULL);
      UpdateRx80Locked();
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
    if (Consume(stopFd_)) return 0;
    if (dead_) ThrowErrno(deadErrno_, "event wait on " + path_);
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
      if (dead_) ThrowErrno(deadErrno_, "event wait on " + path_);
      const bool watchInput =
          (mask_ & (ev::RXCHAR | ev::RXFLAG | ev::RX80FULL)) && (!flowLimited_ || RoomLocked() > 0);
      int timeout = -1;
      if ((modemOk_ && (mask_ & (ev::CTS | ev::DSR | ev::RLSD | ev::RING))) ||
          (icountOk_ && (mask_ & (ev::BREAK | ev::ERR | ev::RING))))
        timeout = kSampleMs;
      if (txPending_) timeout = MinTimeout(timeout, kTxSampleMs);
      lk.unlock();
      // POLLHUP and POLLERR are reported even when input is not watched.
      pollfd p[3] = {{stopFd_, POLLIN, 0},
                     {kickFd_, POLLIN, 0},
                     {fd_, static_cast<short>(watchInput ? POLLIN : 0), 0}};
      int r = PollRetry(p, 3, timeout);
      const int pollErr = errno;
      lk.lock();
      if (r < 0) ThrowErrno(pollErr, "poll");
      if (p[0].revents) {
        Consume(stopFd_);
        return 0;
      }
      if (p[1].revents) Consume(kickFd_);
      if (maskZeroGen_ != zeroGen) return 0;  // SetCommMask(0) meanwhile
      if (p[2].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        // Take what it still holds, then the device counts as gone: the
        // bytes are reported now, the loss at the next wait.
        if (p[2].revents & POLLIN) DrainLocked(SIZE_MAX, true);
        MarkDeadLocked(EIO);
      } else if (p[2].revents & POLLIN) {
        // Bounded, so a far side writing faster than we drain cannot keep
        // the wait from reporting (or from seeing a stop request).
        DrainLocked(std::min<size_t>(flowLimited_ ? RoomLocked() : SIZE_MAX, kWaitDrainBytes), true);
      }
      if (!dead_) SampleLocked();
    }
  }

  void CancelWait() override { Signal(stopFd_); }

private:
  static constexpr uint32_t kDefaultQueue = 4096;
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

  size_t QueuedLocked() const { return queue_.size() - head_; }
  size_t RoomLocked() const {
    return QueuedLocked() < nominalIn_ ? nominalIn_ - QueuedLocked() : 0;
  }

  void KickLocked() {
    if (waiters_ > 0) Signal(kickFd_);
  }

  void TakeLocked(size_t k) {
    const bool wasFull = flowLimited_ && RoomLocked() == 0;
    head_ += k;
    if (head_ == queue_.size()) {
      queue_.clear();
      head_ = 0;
      pending_ &= ~ev::RXCHAR;  // the reader has it all: nothing to announce
    } else if (head_ > 65536 && head_ * 2 > queue_.size()) {
      queue_.erase(0, head_);
      head_ = 0;
    }
    UpdateRx80Locked();
    if (wasFull) KickLocked();  // room again: the wait takes from the kernel again
  }

  void UpdateRx80Locked() {
    const bool above = uint64_t{QueuedLocked()} * 5 > uint64_t{nominalIn_} * 4;
    if (above && !rx80Above_) Raise(ev::RX80FULL);
    rx80Above_ = above;
  }

  void Raise(uint32_t e) { pending_ |= e & mask_; }

  void MarkDeadLocked(int e) {
    if (!dead_) {
      dead_ = true;
      deadErrno_ = e;
    }
    if (readersWaiting_) Signal(rxWakeFd_);
    KickLocked();  // a wait that does not poll the device learns it so
  }

  // One byte through the filter into the own queue.
  void Put(unsigned char c) {
    if (c == 0 && discardNull_) return;
    if (c == evtChar_) Raise(ev::RXFLAG);
    queue_.push_back(static_cast<char>(c));
  }

  // fromWait: taken by the event wait itself, which needs no wake-up.
  void IngestLocked(const unsigned char* p, size_t n, bool fromWait) {
    const size_t before = QueuedLocked();
    if (dsrSensitive_ && modemOk_ && !DsrOn()) return;  // ignored while DSR is off
    for (size_t i = 0; i < n; ++i) {
      const unsigned char c = p[i];
      if (!parmrk_) {
        Put(c);
        continue;
      }
      // PARMRK marks: 0xFF 0xFF = a real 0xFF; 0xFF 0x00 c = c received
      // with a parity or framing error (or a break), replaced by ErrorChar.
      switch (markState_) {
        case 0:
          if (c == 0xFF) markState_ = 1; else Put(c);
          break;
        case 1:
          if (c == 0xFF) { Put(0xFF); markState_ = 0; }
          else if (c == 0) markState_ = 2;
          else { Put(0xFF); Put(c); markState_ = 0; }
          break;
        default:
          Put(static_cast<unsigned char>(errorChar_));
          markState_ = 0;
          break;
      }
    }
    if (QueuedLocked() > before) {
      Raise(ev::RXCHAR);
      UpdateRx80Locked();
      if (readersWaiting_) Signal(rxWakeFd_);
      if (!fromWait) KickLocked();
    }
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
        ThrowErrno(errno, "read " + path_);
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
    Consume(txWakeFd_);
    std::lock_guard lk(mu_);
    return txAbortGen_ != gen;
  }

  void SetLine(int line, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !NotSupported(errno))
      ThrowErrno(errno, on ? "TIOCMBIS" : "TIOCMBIC");
  }

  // RTS on while sending, by the driver; false when it cannot.
  bool SetRs485(bool on) {
    serial_rs485 rs{};
    if (on) rs.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    if (::ioctl(fd_, TIOCSRS485, &rs) != 0) return false;
    rs485_ = on;
    return true;
  }

  void SetFreeSpeed(uint32_t baud) {
#ifdef ZOV_HAVE_TERMIOS2
    termios2 t2{};
    if (::ioctl(fd_, TCGETS2, &t2) != 0) ThrowErrno(errno, "TCGETS2");
    t2.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t2.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t2.c_ispeed = t2.c_ospeed = baud;
    if (::ioctl(fd_, TCSETS2, &t2) != 0) ThrowErrno(errno, "TCSETS2 " + std::to_string(baud) + " baud");
#else
    ThrowErrno(EINVAL, std::to_string(baud) + " baud");
#endif
  }

  const int fd_;
  const std::string path_;
  const int stopFd_;    // CancelWait: ends the pending (or next) wait
  const int kickFd_;    // wakes the wait to look again (mask, queue, write)
  const int rxWakeFd_;  // wakes a blocked Read (bytes queued, abort, vanished)
  const int txWakeFd_;  // wakes a blocked Write (abort)
  bool modemOk_ = false, icountOk_ = false, lsrOk_ = false;
  bool rs485_ = false;  // SetCommState's own (GUI thread only)

  std::mutex mu_;  // everything below
  std::string queue_;
  size_t head_ = 0;
  uint32_t nominalIn_ = kDefaultQueue;
  bool rx80Above_ = false;
  bool flowLimited_ = false;
  bool discardNull_ = false;
  unsigned char evtChar_ = 0;
  bool parmrk_ = false;
  int markState_ = 0;
  char errorChar_ = 0;
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
  if (fd.get() < 0) ThrowErrno(errno, "open " + path);
  termios t{};
  if (::tcgetattr(fd.get(), &t) != 0) ThrowErrno(errno, path + " is not a serial device");
  // Exclusive use: the lock refuses a second opener even where TIOCEXCL
  // does not (root), and TIOCEXCL refuses programs that do not lock.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    ThrowErrno(e == EWOULDBLOCK ? EBUSY : e, path + " is in use");
  }
  if (::ioctl(fd.get(), TIOCEXCL) != 0) ThrowErrno(errno, "TIOCEXCL " + path);
  try {
    MakeRaw(t);
    if (::tcsetattr(fd.get(), TCSANOW, &t) != 0) ThrowErrno(errno, "tcsetattr " + path);
    FdGuard e0(MakeEventFd()), e1(MakeEventFd()), e2(MakeEventFd()), e3(MakeEventFd());
    const int efd[4] = {e0.get(), e1.get(), e2.get(), e3.get()};
    auto dev = std::make_unique<LinuxComDevice>(fd.get(), path, efd);
    fd.release(); e0.release(); e1.release(); e2.release(); e3.release();
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
    ThrowErrno(e.code().value(), "looking for " + portName);
  }
  if (!device) throw ComOsError(winerr::kFileNotFound, ENOENT, portName + ": no such port");
  return OpenLinuxComDevicePath(device->string());
}
