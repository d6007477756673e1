#include "sim/Receiver.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <termios.h>
#include <unistd.h>

#include "portmap/PortMap.h"

namespace sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

void Throw(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

Receiver::Receiver(Options options)
    : options_(std::move(options)), machine_(static_cast<const ProtocolOptions&>(options_), SteadyClock::now()) {
  options_.burst = std::max(options_.burst, 1);
}

Receiver::~Receiver() { Stop(); }

// ---------------------------------------------------------------- start/stop

void Receiver::Start() {
  std::lock_guard lk(m_);
  if (startedOnce_) throw std::logic_error("the simulated receiver can be started only once");
  startedOnce_ = true;

  int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m < 0) Throw("cannot open a pseudo-terminal");
  int s = -1;
  auto fail = [&](const char* what) {
    const int err = errno;
    ::close(m);
    if (s >= 0) ::close(s);
    errno = err;
    Throw(what);
  };
  if (::grantpt(m) != 0 || ::unlockpt(m) != 0) fail("cannot unlock the pseudo-terminal");
  char name[128];
  if (::ptsname_r(m, name, sizeof name) != 0) fail("cannot name the pseudo-terminal");
  // The receiver keeps the slave side open itself: without it the master
  // would report a hang-up whenever the program has the port closed.
  s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (s < 0) fail("cannot open the pseudo-terminal's device");
  termios t{};
  if (::tcgetattr(s, &t) != 0) fail("cannot read the pseudo-terminal's settings");
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, B9600);
  ::cfsetospeed(&t, B9600);
  if (::tcsetattr(s, TCSANOW, &t) != 0) fail("cannot set the pseudo-terminal to raw mode");
  const int fl = ::fcntl(m, F_GETFL);
  if (fl < 0 || ::fcntl(m, F_SETFL, fl | O_NONBLOCK) != 0) fail("cannot make the pseudo-terminal non-blocking");
  if (::pipe2(wakeFds_, O_NONBLOCK | O_CLOEXEC) != 0) fail("cannot make a pipe");

  auto cleanup = [&] {
    ::close(m);
    ::close(s);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
    wakeFds_[0] = wakeFds_[1] = -1;
  };
  device_ = name;
  const Time started = SteadyClock::now();
  try {
    if (options_.publish) {
      if (options_.port != 0) {
        if (options_.port < 1 || options_.port > serial::kMaxPortNumber)
          throw std::runtime_error(serial::ComName(options_.port) + " is not a port name (COM1.." +
                                   serial::ComName(serial::kMaxPortNumber) + ")");
        const auto entries = serial::PortMapEntries();
        const auto it = entries.find(options_.port);
        std::error_code ec;
        if (it != entries.end() && std::filesystem::exists(it->second, ec))
          throw std::runtime_error(serial::ComName(options_.port) + " is taken: the port map " +
                                   serial::PortMapDir().string() + " points it at " + it->second.string());
        serial::PublishPort(options_.port, device_);
        portNumber_ = options_.port;
      } else {
        portNumber_ = serial::PublishFirstFreePort(device_);
        if (portNumber_ == 0)
          throw std::runtime_error("no free COM number: COM1.." + serial::ComName(serial::kMaxPortNumber) +
                                   " are all taken in " + serial::PortMapDir().string());
      }
      published_ = true;
    }
    log_.Open(started, options_.logPath);
  } catch (...) {
    if (published_) {
      serial::UnpublishPort(portNumber_);
      published_ = false;
    }
    portNumber_ = 0;
    cleanup();
    throw;
  }
  master_ = m;
  slave_ = s;
  lineFree_ = started;
  Note("line open on " + device_ + (published_ ? " as " + serial::ComName(portNumber_) : std::string()));
  machine_.Open();
  Changed();
  thread_ = std::thread(&Receiver::Run, this);
}

void Receiver::Stop() {
  {
    std::lock_guard lk(m_);
    stopRequested_ = true;
  }
  Wake();
  if (thread_.joinable()) thread_.join();
  std::lock_guard lk(m_);
  if (master_ >= 0) {
    ::close(master_);
    ::close(slave_);
    master_ = slave_ = -1;
  }
  head_.reset();
  Unpublish();
  for (int& fd : wakeFds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (machine_.CurrentState() != State::Stopped) {
    machine_.Stop();
    Changed();
  }
  log_.Close();
}

bool Receiver::Running() const {
  std::lock_guard lk(m_);
  return machine_.CurrentState() != State::Stopped && !stopRequested_;
}

void Receiver::Wake() {
  // Under the lock, so that Stop cannot close the pipe in between.
  std::lock_guard lk(m_);
  if (wakeFds_[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] ssize_t r = ::write(wakeFds_[1], &c, 1);
  }
}

void Receiver::Unpublish() {
  if (!published_) return;
  published_ = false;
  try {
    // Only our own entry: someone may have taken the number meanwhile.
    const auto entries = serial::PortMapEntries();
    const auto it = entries.find(portNumber_);
    if (it != entries.end() && it->second == std::filesystem::path(device_)) serial::UnpublishPort(portNumber_);
  } catch (...) {
  }
}

void Receiver::CloseLine(const std::string& why) {
  if (master_ < 0) return;
  ::close(master_);
  ::close(slave_);
  master_ = slave_ = -1;
  head_.reset();
  machine_.LineClosed(why);
  Changed();
  Unpublish();
}

void Receiver::Changed() {
  for (auto& note : machine_.TakeNotes()) Note(std::move(note));
  ++generation_;
  cv_.notify_all();
}

void Receiver::Note(std::string text) {
  if (options_.onNote) pendingNotes_.push_back(text);
  log_.Add(Direction::Note, std::move(text), SteadyClock::now());
}

// ---------------------------------------------------------------- the line and the machine

std::string Receiver::PortName() const {
  return Locked([&] { return published_ ? serial::ComName(portNumber_) : std::string(); });
}
int Receiver::PortNumber() const {
  return Locked([&] { return published_ ? portNumber_ : 0; });
}
std::string Receiver::DevicePath() const {
  return Locked([&] { return device_; });
}

void Receiver::PressReset() {
  {
    std::lock_guard lk(m_);
    if (master_ < 0 || !machine_.PressReset()) return;
    head_.reset();
    Changed();
  }
  Wake();
}

void Receiver::SetFault(Fault fault, bool on) {
  Locked([&] {
    machine_.SetFault(fault, on);
    Changed();
  });
  Wake();
}

void Receiver::ClearFaults() {
  Locked([&] {
    machine_.ClearFaults();
    Changed();
  });
  Wake();
}

void Receiver::SetPacing(bool on) {
  {
    std::lock_guard lk(m_);
    options_.pacing = on;
    if (head_) {
      // Carry on from the byte that is next, at the new rate.
      const auto now = SteadyClock::now();
      headStart_ = on ? now - kByteTime * static_cast<long>(headSent_) : now;
    }
  }
  Wake();
}

void Receiver::Vanish() {
  Locked([&] { vanishRequested_ = true; });
  Wake();
}

void Receiver::SetParams(const ParamSet& params) {
  Locked([&] { machine_.SetParams(params); });
}
void Receiver::SetClock(const ClockTime& time) {
  Locked([&] { machine_.SetClock(time, SteadyClock::now()); });
}
void Receiver::SetMonitorLines(std::vector<std::string> lines) {
  Locked([&] { machine_.SetMonitorLines(std::move(lines)); });
}
void Receiver::SetCustomReply(char command, std::optional<std::string> bytes) {
  Locked([&] { machine_.SetCustomReply(command, std::move(bytes)); });
}
void Receiver::ClearTraffic() {
  Locked([&] { log_.Clear(); });
}

std::set<Fault> Receiver::Faults() const {
  return Locked([&] { return machine_.Faults(); });
}
State Receiver::CurrentState() const {
  return Locked([&] { return machine_.CurrentState(); });
}
int Receiver::OperatorCode() const {
  return Locked([&] { return machine_.OperatorCode(); });
}
ParamSet Receiver::Params() const {
  return Locked([&] { return machine_.Params(); });
}
int Receiver::FramesAccepted() const {
  return Locked([&] { return machine_.FramesAccepted(); });
}
int Receiver::FramesRefused() const {
  return Locked([&] { return machine_.FramesRefused(); });
}
int Receiver::SerialNumber() const {
  return Locked([&] { return machine_.SerialNumber(); });
}
int Receiver::Swaps() const {
  return Locked([&] { return machine_.Swaps(); });
}
ClockTime Receiver::Clock() const {
  return Locked([&] { return machine_.ClockAt(SteadyClock::now()); });
}
std::vector<std::string> Receiver::MonitorLines() const {
  return Locked([&] { return machine_.MonitorLines(); });
}
std::vector<TrafficEntry> Receiver::Traffic() const {
  return Locked([&] { return log_.Entries(); });
}
std::vector<TimedByte> Receiver::ReceivedBytes() const {
  return Locked([&] { return log_.ReceivedBytes(); });
}
std::string Receiver::ReceivedText() const {
  return Locked([&] { return log_.Bytes(Direction::Rx); });
}
std::string Receiver::SentText() const {
  return Locked([&] { return log_.Bytes(Direction::Tx); });
}
std::vector<std::string> Receiver::Notes() const {
  return Locked([&] { return log_.Notes(); });
}

bool Receiver::WaitFor(const std::function<bool()>& pred, int timeoutMs) const {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock lk(m_);
  for (;;) {
    const std::uint64_t seen = generation_;
    lk.unlock();
    const bool ok = pred();
    lk.lock();
    if (ok) return true;
    if (!cv_.wait_until(lk, deadline, [&] { return generation_ != seen; })) {
      lk.unlock();
      return pred();
    }
  }
}

bool Receiver::WaitForState(State state, int timeoutMs) const {
  return WaitFor([&] { return CurrentState() == state; }, timeoutMs);
}

bool Receiver::WaitForSent(std::string_view text, int timeoutMs) const {
  return WaitFor([&] { return SentText().find(text) != std::string::npos; }, timeoutMs);
}

bool Receiver::WaitIdle(int timeoutMs) const {
  return WaitFor([&] { return Locked([&] { return !head_ && !machine_.HasOutput(); }); }, timeoutMs);
}

// ---------------------------------------------------------------- thread

void Receiver::Run() {
  std::string buf(4096, '\0');
  std::unique_lock lk(m_);
  while (!stopRequested_) {
    auto now = SteadyClock::now();
    if (vanishRequested_) {
      vanishRequested_ = false;
      CloseLine("closed on request");
    }
    if (machine_.Advance(now)) Changed();
    PumpOutput(now);
    if (!pendingNotes_.empty()) {
      auto notes = std::move(pendingNotes_);
      pendingNotes_.clear();
      auto onNote = options_.onNote;
      lk.unlock();
      for (const auto& n : notes) onNote(n);
      lk.lock();
      continue;
    }

    std::optional<Time> next = NextOutputTime();
    if (const auto d = machine_.NextDeadline(); d && (!next || *d < *next)) next = d;
    pollfd fds[2] = {{wakeFds_[0], POLLIN, 0}, {master_, static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0}};
    const nfds_t nfds = master_ >= 0 ? 2 : 1;
    timespec ts{};
    timespec* tsp = nullptr;
    if (next) {
      const auto wait = std::max(SteadyClock::duration::zero(), *next - now);
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      tsp = &ts;
    }
    lk.unlock();
    const int r = ::ppoll(fds, nfds, tsp, nullptr);
    lk.lock();
    now = SteadyClock::now();
    if (r < 0) continue;   // EINTR; nothing else can fail with these arguments
    if (fds[0].revents & POLLIN) {
      char drain[64];
      while (::read(wakeFds_[0], drain, sizeof drain) > 0) {
      }
    }
    if (nfds == 2 && master_ == fds[1].fd) {
      if (fds[1].revents & POLLOUT) writeBlocked_ = false;
      if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        for (;;) {
          const ssize_t n = ::read(master_, buf.data(), buf.size());
          if (n > 0) {
            const std::string_view chunk(buf.data(), static_cast<std::size_t>(n));
            log_.Add(Direction::Rx, std::string(chunk), now);
            machine_.Receive(chunk, now);   // the timeouts due by now act first
            Changed();
            continue;
          }
          if (n < 0 && errno == EINTR) continue;
          if (n < 0 && errno == EAGAIN) break;
          // EIO or end of file: the pty is gone from under us.
          CloseLine(n == 0 ? "end of file on the pseudo-terminal" : "read error on the pseudo-terminal");
          break;
        }
      }
    }
  }
}

// ---------------------------------------------------------------- output

std::optional<Time> Receiver::NextOutputTime() const {
  if (master_ < 0 || writeBlocked_) return std::nullopt;
  if (!head_) return machine_.HasOutput() ? std::optional<Time>(SteadyClock::now()) : std::nullopt;
  if (!options_.pacing || head_->closeLine) return headStart_;
  // The start of the chunk that holds the next byte.
  const std::size_t burst = static_cast<std::size_t>(options_.burst);
  return headStart_ + kByteTime * static_cast<long>(headSent_ / burst * burst);
}

void Receiver::PumpOutput(Time now) {
  const std::size_t burst = static_cast<std::size_t>(options_.burst);
  while (master_ >= 0) {
    if (!head_) {
      const int swaps = machine_.Swaps();
      head_ = machine_.TakePiece(now);
      if (machine_.Swaps() != swaps) Changed();   // another receiver: its note, and waiters told
      if (!head_) return;
      headStart_ = std::max(now, lineFree_) + head_->pause;
      headSent_ = 0;
    }
    if (now < headStart_) return;
    if (head_->closeLine) {
      CloseLine("vanished in the middle of a reply (fault vanish)");
      return;
    }
    const std::string& bytes = head_->bytes;
    while (headSent_ < bytes.size()) {
      // Paced, chunk k of `burst` bytes is due k * burst byte times after
      // the start, and each goes in a write of its own, also when late.
      std::size_t end = bytes.size();
      if (options_.pacing) {
        const auto dueChunks = static_cast<std::size_t>((now - headStart_) / (kByteTime * static_cast<long>(burst))) + 1;
        if (headSent_ >= dueChunks * burst) return;
        end = std::min(end, (headSent_ / burst + 1) * burst);
      }
      if (writeBlocked_) return;
      const std::size_t want = end - headSent_;
      const ssize_t w = ::write(master_, bytes.data() + headSent_, want);
      if (w < 0) {
        if (errno == EAGAIN) writeBlocked_ = true;
        else if (errno != EINTR) CloseLine("write error on the pseudo-terminal");
        return;
      }
      log_.Add(Direction::Tx, bytes.substr(headSent_, static_cast<std::size_t>(w)), now);
      Changed();
      headSent_ += static_cast<std::size_t>(w);
      if (static_cast<std::size_t>(w) < want) {
        writeBlocked_ = true;
        return;
      }
    }
    lineFree_ = options_.pacing ? std::max(now, headStart_ + kByteTime * static_cast<long>(bytes.size())) : now;
    head_.reset();
  }
}

}  // namespace sim
