#include "sim/Receiver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

using std::chrono::milliseconds;

struct FaultInfo {
  Fault fault;
  const char* name;
  const char* description;
};

constexpr FaultInfo kFaults[] = {
    {Fault::Silent, "silent", "answers nothing at all (it still reads and logs what arrives)"},
    {Fault::NoOp, "no-op", "takes the password but sends no \"OP:\" prompt (the next byte is still the operator code)"},
    {Fault::NoCmdPrompt, "no-cmd-prompt", "answers a lone CR with a line break but no \"CMD>\""},
    {Fault::CutReply, "cut-reply", "the replies to \"e\", \"t\" and \"m\" stop halfway: no \"CMD>\""},
    {Fault::Garbage, "garbage", "3 to 10 control and high bytes ahead of every reply (never text, CR, LF, comma or "
                                "colon, so the values the program cuts stay in place) and NUL bytes strewn inside it"},
    {Fault::Split, "split", "replies go out in many small writes with pauses between: a write ends after every CR "
                            "(its LF starts the next), \"WORD:\" is split after \"WO\", replies up to 512 bytes every 1 to 5 bytes; 10 ms between writes"},
    {Fault::Slow, "slow", "every reply starts only after a pause (--slow-ms, default 2500 ms: later than every wait of the program)"},
    {Fault::MonitorLate, "monitor-late", "the monitor's closing \"CMD>\" comes after a pause (--late-ms, default 45000 ms: after the program has given up)"},
    {Fault::MonitorNoEnd, "monitor-no-end", "the monitor's closing \"CMD>\" never comes"},
    {Fault::Vanish, "vanish", "the line closes (pty gone, port-map entry removed) 50 ms after the first half of the "
                            "next reply on the command line"},
    {Fault::KeepsOldSet, "keeps-old-set", "answers a parameter frame with \"ZAPSÁNO\" but keeps its old set"},
    {Fault::ClockOff, "clock-off", "answers a clock write with \"OK\" but sets its clock an hour later than the "
                                   "fields say"},
};

constexpr std::uint8_t kSetHeader0 = 0x55, kSetHeader1 = 0xAA;

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::string Hex2(std::uint8_t b) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", b);
  return buf;
}

std::string Printable(std::string_view bytes) {
  std::string s;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u == '\r') s += "\\r";
    else if (u == '\n') s += "\\n";
    else if (u < 0x20 || u == 0x7F) s += "\\x" + Hex2(u);
    else s += FromCp1250(std::string_view(&c, 1));
  }
  return s;
}

void Throw(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

const std::vector<Fault>& AllFaults() {
  static const std::vector<Fault> all = [] {
    std::vector<Fault> v;
    for (const auto& f : kFaults) v.push_back(f.fault);
    return v;
  }();
  return all;
}

std::string_view FaultName(Fault fault) {
  for (const auto& f : kFaults)
    if (f.fault == fault) return f.name;
  return "?";
}

std::string_view FaultDescription(Fault fault) {
  for (const auto& f : kFaults)
    if (f.fault == fault) return f.description;
  return "";
}

std::optional<Fault> FaultFromName(std::string_view name) {
  for (const auto& f : kFaults)
    if (name == f.name) return f.fault;
  return std::nullopt;
}

std::string_view StateName(State state) {
  switch (state) {
    case State::BeforeReset: return "before reset";
    case State::AwaitSpace: return "waiting for a space";
    case State::Password: return "password prompt";
    case State::Operator: return "operator prompt";
    case State::Command: return "command line";
    case State::Frame: return "receiving a parameter frame";
    case State::ClockFields: return "receiving clock fields";
    case State::Vanished: return "line closed";
    case State::Stopped: return "stopped";
  }
  return "?";
}

// ---------------------------------------------------------------- state

ParamSet Receiver::DefaultParams() {
  ParamSet p{};
  p[0] = kSetHeader0;
  p[1] = kSetHeader1;
  p[2] = 180;   // dead time
  p[3] = 1;     // write order
  p[4] = 18;    // serial number 4660
  p[5] = 52;
  p[6] = 100;   // operator of the last write
  p[7] = 7;     // network 7
  p[8] = 15;    // one transmitter, number 15
  p[9] = 15;
  p[10] = 2;    // key tone
  p[11] = 1;    // mask groups A, B, C
  p[12] = 2;
  p[13] = 3;
  p[14] = 0;
  p[15] = 0;
  const unsigned addresses[8] = {543001, 543002, 600100, 1048575, 0, 0, 0, 0};
  for (int n = 0; n < 8; ++n) {
    p[16 + 3 * n] = static_cast<std::uint8_t>(addresses[n] >> 16);
    p[17 + 3 * n] = static_cast<std::uint8_t>(addresses[n] >> 8);
    p[18 + 3 * n] = static_cast<std::uint8_t>(addresses[n]);
  }
  for (int n = 0; n < 8; ++n)
    for (int c = 0; c < 4; ++c) p[40 + 4 * n + c] = static_cast<std::uint8_t>(n < 7 ? c + 1 : 5);
  return p;
}

std::vector<std::string> Receiver::DefaultMonitor(int lines) {
  static const char* const kEvents[] = {
      "Poplach sirény",       "Zkouška sirény",       "Konec poplachu",      "Výpadek napájení",
      "Obnovení napájení",    "Porucha akumulátoru",  "Všeobecná výstraha",  "Požární poplach",
      "Chemická havárie",     "Zátopová vlna",        "Příjem adresy 543001", "Zásah obsluhy",
      "Reset přijímače",      "Chybný příkaz",        "Ztráta spojení",      "Spojení obnoveno",
  };
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(std::max(lines, 0)));
  std::tm start{};
  start.tm_year = 2025 - 1900;
  start.tm_mon = 0;
  start.tm_mday = 2;
  start.tm_hour = 6;
  long long t = timegm(&start);
  for (int i = 0; i < lines; ++i) {
    t += 60LL * (37 + (i * 53) % 400) + (i * 13) % 60;
    const time_t tt = static_cast<time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char head[64];
    std::snprintf(head, sizeof head, "%04d %02d.%02d.%02d %02d:%02d:%02d ", (i + 1) % 10000, tm.tm_mday,
                  tm.tm_mon + 1, tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec);
    out.push_back(head + ToCp1250(kEvents[(i * 7 + i / 16) % 16]));
  }
  return out;
}

Receiver::Receiver(Options options) : options_(std::move(options)) {
  params_ = DefaultParams();
  monitor_ = DefaultMonitor(options_.monitorLines);
  rng_ = options_.seed ? options_.seed : 1;
  const time_t now = time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  SetClockLocked({tm.tm_wday, tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec},
                 Clock_::now());
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
  try {
    if (options_.publish) {
      if (options_.port != 0) {
        if (options_.port < 1 || options_.port > serial::kMaxPortNumber)
          throw std::runtime_error("COM" + std::to_string(options_.port) + " is not a port name (COM1..COM" +
                                   std::to_string(serial::kMaxPortNumber) + ")");
        const auto entries = serial::PortMapEntries();
        const auto it = entries.find(options_.port);
        std::error_code ec;
        if (it != entries.end() && std::filesystem::exists(it->second, ec))
          throw std::runtime_error("COM" + std::to_string(options_.port) + " is taken: the port map " +
                                   serial::PortMapDir().string() + " points it at " + it->second.string());
        serial::PublishPort(options_.port, device_);
        portNumber_ = options_.port;
      } else {
        portNumber_ = serial::PublishFirstFreePort(device_);
        if (portNumber_ == 0)
          throw std::runtime_error("no free COM number: COM1..COM" + std::to_string(serial::kMaxPortNumber) +
                                   " are all taken in " + serial::PortMapDir().string());
      }
      published_ = true;
    }
    if (!options_.logPath.empty()) {
      logFile_.open(options_.logPath, std::ios::out | std::ios::trunc | std::ios::binary);
      if (!logFile_) throw std::runtime_error("cannot create the traffic log " + options_.logPath);
    }
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
  started_ = Clock_::now();
  lineFree_ = started_;
  state_ = State::BeforeReset;
  if (logFile_) {
    logFile_ << "# zov-receiver-sim traffic log: ms since start, rx (from the program) / tx (to it) / -- note,"
                " bytes in hex, then as text\n";
  }
  Note("line open on " + device_ + (published_ ? " as COM" + std::to_string(portNumber_) : std::string()));
  if (options_.resetOnStart) {
    SetState(State::AwaitSpace);
    Note("reset pressed (on start)");
  }
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
  out_.clear();
  headStarted_ = false;
  Unpublish();
  for (int& fd : wakeFds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (state_ != State::Stopped) {
    state_ = State::Stopped;
    ++generation_;
    cv_.notify_all();
  }
  if (logFile_.is_open()) logFile_.close();
}

bool Receiver::Running() const {
  std::lock_guard lk(m_);
  return state_ != State::Stopped && !stopRequested_;
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
  out_.clear();
  headStarted_ = false;
  SetState(State::Vanished);
  Note("line closed: " + why);
  Unpublish();
}

// ---------------------------------------------------------------- accessors

std::string Receiver::PortName() const {
  std::lock_guard lk(m_);
  return published_ ? "COM" + std::to_string(portNumber_) : std::string();
}

int Receiver::PortNumber() const {
  std::lock_guard lk(m_);
  return published_ ? portNumber_ : 0;
}

std::string Receiver::DevicePath() const {
  std::lock_guard lk(m_);
  return device_;
}

void Receiver::PressReset() {
  {
    std::lock_guard lk(m_);
    if (master_ < 0) return;
    out_.clear();
    headStarted_ = false;
    password_.clear();
    frame_.clear();
    fields_.clear();
    field_.clear();
    SetState(State::AwaitSpace);
    Note("reset pressed");
  }
  Wake();
}

void Receiver::SetFault(Fault fault, bool on) {
  {
    std::lock_guard lk(m_);
    if (on == Has(fault)) return;
    if (on) options_.faults.insert(fault);
    else options_.faults.erase(fault);
    Note(std::string("fault ") + std::string(FaultName(fault)) + (on ? " on" : " off"));
  }
  Wake();
}

void Receiver::ClearFaults() {
  {
    std::lock_guard lk(m_);
    if (options_.faults.empty()) return;
    options_.faults.clear();
    Note("faults cleared");
  }
  Wake();
}

std::set<Fault> Receiver::Faults() const {
  std::lock_guard lk(m_);
  return options_.faults;
}

void Receiver::SetPacing(bool on) {
  {
    std::lock_guard lk(m_);
    options_.pacing = on;
    if (headStarted_ && !out_.empty()) {
      // Carry on from the byte that is next, at the new rate.
      const auto now = Clock_::now();
      headStart_ = on ? now - kByteTime * static_cast<long>(headSent_) : now;
    }
  }
  Wake();
}

void Receiver::Vanish() {
  {
    std::lock_guard lk(m_);
    vanishRequested_ = true;
  }
  Wake();
}

State Receiver::CurrentState() const {
  std::lock_guard lk(m_);
  return state_;
}

int Receiver::OperatorCode() const {
  std::lock_guard lk(m_);
  return operatorCode_;
}

ParamSet Receiver::Params() const {
  std::lock_guard lk(m_);
  return params_;
}

void Receiver::SetParams(const ParamSet& params) {
  std::lock_guard lk(m_);
  params_ = params;
}

int Receiver::FramesAccepted() const {
  std::lock_guard lk(m_);
  return framesAccepted_;
}

int Receiver::FramesRefused() const {
  std::lock_guard lk(m_);
  return framesRefused_;
}

ClockTime Receiver::Clock() const {
  std::lock_guard lk(m_);
  return ClockAt(Clock_::now());
}

void Receiver::SetClock(const ClockTime& time) {
  std::lock_guard lk(m_);
  SetClockLocked(time, Clock_::now());
}

void Receiver::SetClockLocked(const ClockTime& time, Clock_::time_point now) {
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  clockBase_ = timegm(&tm);
  clockBaseDow_ = ((time.dayOfWeek % 7) + 7) % 7;
  clockSetAt_ = now;
}

ClockTime Receiver::ClockAt(Clock_::time_point now) const {
  const long long elapsed =
      std::chrono::duration_cast<std::chrono::seconds>(now - clockSetAt_).count();
  const long long t = clockBase_ + std::max(0LL, elapsed);
  const long long days = FloorDiv(t, 86400) - FloorDiv(clockBase_, 86400);
  const time_t tt = static_cast<time_t>(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  ClockTime c;
  c.dayOfWeek = static_cast<int>(((clockBaseDow_ + days) % 7 + 7) % 7);
  c.day = tm.tm_mday;
  c.month = tm.tm_mon + 1;
  c.year = tm.tm_year + 1900;
  c.hour = tm.tm_hour;
  c.minute = tm.tm_min;
  c.second = tm.tm_sec;
  return c;
}

std::vector<std::string> Receiver::MonitorLines() const {
  std::lock_guard lk(m_);
  return monitor_;
}

void Receiver::SetMonitorLines(std::vector<std::string> lines) {
  std::lock_guard lk(m_);
  monitor_ = std::move(lines);
}

std::vector<TrafficEntry> Receiver::Traffic() const {
  std::lock_guard lk(m_);
  return traffic_;
}

std::vector<TimedByte> Receiver::ReceivedBytes() const {
  std::lock_guard lk(m_);
  std::vector<TimedByte> out;
  for (const auto& e : traffic_)
    if (e.dir == Direction::Rx)
      for (char c : e.bytes) out.push_back({e.ms, static_cast<std::uint8_t>(c)});
  return out;
}

std::string Receiver::ReceivedText() const {
  std::lock_guard lk(m_);
  std::string out;
  for (const auto& e : traffic_)
    if (e.dir == Direction::Rx) out += e.bytes;
  return out;
}

std::string Receiver::SentText() const {
  std::lock_guard lk(m_);
  std::string out;
  for (const auto& e : traffic_)
    if (e.dir == Direction::Tx) out += e.bytes;
  return out;
}

std::vector<std::string> Receiver::Notes() const {
  std::lock_guard lk(m_);
  std::vector<std::string> out;
  for (const auto& e : traffic_)
    if (e.dir == Direction::Note) out.push_back(e.bytes);
  return out;
}

void Receiver::ClearTraffic() {
  std::lock_guard lk(m_);
  traffic_.clear();
}

bool Receiver::WaitFor(const std::function<bool()>& pred, int timeoutMs) const {
  const auto deadline = Clock_::now() + milliseconds(timeoutMs);
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
  return WaitFor(
      [&] {
        std::lock_guard lk(m_);
        return out_.empty();
      },
      timeoutMs);
}

// ---------------------------------------------------------------- log

void Receiver::AddTraffic(Direction dir, std::string bytes, Clock_::time_point at) {
  TrafficEntry e;
  e.at = at;
  e.wall = std::chrono::system_clock::now() -
           std::chrono::duration_cast<std::chrono::system_clock::duration>(Clock_::now() - at);
  e.ms = std::chrono::duration<double, std::milli>(at - started_).count();
  e.dir = dir;
  e.bytes = std::move(bytes);
  if (logFile_.is_open()) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%11.3f", e.ms);
    const char* tag = dir == Direction::Rx ? "rx" : dir == Direction::Tx ? "tx" : "--";
    if (dir == Direction::Note) {
      logFile_ << stamp << ' ' << tag << ' ' << e.bytes << '\n';
    } else {
      // Rows of 16 bytes: hex, then the bytes as text with control bytes escaped.
      for (std::size_t i = 0; i < e.bytes.size(); i += 16) {
        const std::string_view row = std::string_view(e.bytes).substr(i, 16);
        std::string hex;
        for (char c : row) hex += Hex2(static_cast<std::uint8_t>(c)) + ' ';
        hex.resize(48, ' ');
        logFile_ << (i == 0 ? std::string(stamp) + ' ' + tag : std::string(14, ' ')) << ' ' << hex << '|'
                 << Printable(row) << "|\n";
      }
    }
    logFile_.flush();
  }
  traffic_.push_back(std::move(e));
  ++generation_;
  cv_.notify_all();
}

void Receiver::Note(std::string text) {
  if (options_.onNote) pendingNotes_.push_back(text);
  AddTraffic(Direction::Note, std::move(text), Clock_::now());
}

void Receiver::SetState(State s) {
  state_ = s;
  ++generation_;
  cv_.notify_all();
}

// ---------------------------------------------------------------- thread

void Receiver::Run() {
  std::string buf(4096, '\0');
  std::unique_lock lk(m_);
  while (!stopRequested_) {
    auto now = Clock_::now();
    if (vanishRequested_) {
      vanishRequested_ = false;
      CloseLine("closed on request");
    }
    HandleDeadlines(now);
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

    std::optional<Clock_::time_point> next = NextOutputTime();
    if (const auto d = NextDeadline(); d && (!next || *d < *next)) next = d;
    pollfd fds[2] = {{wakeFds_[0], POLLIN, 0}, {master_, static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0}};
    const nfds_t nfds = master_ >= 0 ? 2 : 1;
    timespec ts{};
    timespec* tsp = nullptr;
    if (next) {
      const auto wait = std::max(Clock_::duration::zero(), *next - now);
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      tsp = &ts;
    }
    lk.unlock();
    const int r = ::ppoll(fds, nfds, tsp, nullptr);
    lk.lock();
    now = Clock_::now();
    if (r < 0) continue;   // EINTR; nothing else can fail with these arguments
    if (fds[0].revents & POLLIN) {
      char drain[64];
      while (::read(wakeFds_[0], drain, sizeof drain) > 0) {
      }
    }
    HandleDeadlines(now);
    if (nfds == 2 && master_ == fds[1].fd) {
      if (fds[1].revents & POLLOUT) writeBlocked_ = false;
      if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        for (;;) {
          const ssize_t n = ::read(master_, buf.data(), buf.size());
          if (n > 0) {
            std::string chunk(buf.data(), static_cast<std::size_t>(n));
            AddTraffic(Direction::Rx, chunk, now);
            HandleInput(chunk, now);
            if (master_ < 0) break;
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

void Receiver::HandleInput(const std::string& bytes, Clock_::time_point at) {
  for (char c : bytes) {
    if (master_ < 0) return;
    HandleByte(static_cast<std::uint8_t>(c), at);
  }
}

std::optional<Receiver::Clock_::time_point> Receiver::NextDeadline() const {
  switch (state_) {
    case State::Password:
      if (!password_.empty()) return passwordDeadline_;
      return std::nullopt;
    case State::Frame: return frameDeadline_;
    case State::ClockFields:
      if (!field_.empty()) return std::min(fieldDeadline_, clockDeadline_);
      return clockDeadline_;
    default: return std::nullopt;
  }
}

void Receiver::HandleDeadlines(Clock_::time_point now) {
  switch (state_) {
    case State::Password:
      if (!password_.empty() && now >= passwordDeadline_) {
        Note("partial password \"" + Printable(password_) + "\" dropped after a pause");
        password_.clear();
      }
      break;
    case State::Frame:
      if (now >= frameDeadline_) FinishFrame(true);
      break;
    case State::ClockFields:
      if (!field_.empty() && now >= fieldDeadline_) EndClockField();
      if (state_ == State::ClockFields && now >= clockDeadline_) {
        Note("clock write abandoned: " + std::to_string(fields_.size()) + " of 7 fields, then no byte for " +
             std::to_string(options_.clockTimeoutMs) + " ms");
        SetState(State::Command);
        Reply(ToCp1250("\r\nCHYBA NASTAVENÍ HODIN\r\nCMD>"));
      }
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- protocol

void Receiver::HandleByte(std::uint8_t b, Clock_::time_point at) {
  switch (state_) {
    case State::BeforeReset:
    case State::Vanished:
    case State::Stopped:
      return;
    case State::AwaitSpace:
      if (b == ' ' || b == '\r') {
        password_.clear();
        SetState(State::Password);
        Reply("\r\nPASSWORD:", false);
      }
      return;
    case State::Password:
      if (password_.empty() && (b == ' ' || b == '\r' || b == '\n')) return;   // more polling
      password_ += static_cast<char>(b);
      passwordDeadline_ = at + milliseconds(options_.passwordIdleMs);
      if (password_.size() == 5) {
        if (password_ == kPassword) {
          Note("password accepted");
          SetState(State::Operator);
          if (!Has(Fault::NoOp)) Reply("\r\nOP:", false);
        } else {
          Note("wrong password \"" + Printable(password_) + "\"");
          Reply(ToCp1250("\r\nCHYBNÉ HESLO\r\nPASSWORD:"), false);
        }
        password_.clear();
      }
      return;
    case State::Operator:
      operatorCode_ = b;
      Note("logged in, operator code " + std::to_string(b));
      SetState(State::Command);
      Reply("\r\nCMD>", false);
      return;
    case State::Command:
      CommandByte(b, at);
      return;
    case State::Frame:
      frame_ += static_cast<char>(b);
      frameDeadline_ = at + milliseconds(options_.frameTimeoutMs);
      if (frame_.size() == kFrameSize) FinishFrame(false);
      return;
    case State::ClockFields:
      clockDeadline_ = at + milliseconds(options_.clockTimeoutMs);
      if (b == ',' || b == ' ' || b == '.' || b == ':' || b == '\r' || b == '\n') {
        EndClockField();
        return;
      }
      field_ += static_cast<char>(b);
      fieldLastByte_ = at;
      fieldDeadline_ = at + milliseconds(options_.fieldGapMs);
      return;
  }
}

void Receiver::SetCustomReply(char command, std::optional<std::string> bytes) {
  std::lock_guard lk(m_);
  if (bytes) customReplies_[command] = std::move(*bytes);
  else customReplies_.erase(command);
}

void Receiver::CommandByte(std::uint8_t b, Clock_::time_point at) {
  if (b != 'z' && b != 's') {
    const auto custom = customReplies_.find(static_cast<char>(b));
    if (custom != customReplies_.end()) {
      if (b == 'n') {
        monitor_.clear();
        Note("monitor cleared");
      }
      Reply(custom->second, true, b == 'e' || b == 't' || b == 'm');
      return;
    }
  }
  switch (b) {
    case '\r':
      Reply(Has(Fault::NoCmdPrompt) ? "\r\n" : "\r\nCMD>");
      return;
    case '\n':
    case ' ':
    case 0:
      return;
    case 'e': {
      std::string text = "PARAMETRY\r\n";
      for (int i = 0; i < kParamSize; ++i) {
        char f[8];
        std::snprintf(f, sizeof f, "%03u", static_cast<unsigned>(params_[i]));
        if (i) text += ',';
        text += f;
      }
      text += "\r\nCMD>";
      Reply(std::move(text), true, true);
      return;
    }
    case 'z':
      frame_.clear();
      frameDeadline_ = at + milliseconds(options_.frameTimeoutMs);
      SetState(State::Frame);
      return;
    case 't': {
      const ClockTime c = ClockAt(at);
      char line[64];
      // The line's first colon is the one before the day of week.
      std::snprintf(line, sizeof line, "HODINY: %d %02d.%02d.%02d %02d:%02d:%02d\r\nCMD>", c.dayOfWeek, c.day,
                    c.month, c.year % 100, c.hour, c.minute, c.second);
      Reply(line, true, true);
      return;
    }
    case 's':
      fields_.clear();
      field_.clear();
      clockDeadline_ = at + milliseconds(options_.clockTimeoutMs);
      SetState(State::ClockFields);
      return;
    case 'm':
      ReplyMonitor();
      return;
    case 'n':
      monitor_.clear();
      Note("monitor cleared");
      Reply(ToCp1250("\r\nMONITOR VYMAZÁN\r\nCMD>"));
      return;
    default:
      Note("unknown command byte " + Hex2(b));
      Reply("\r\n?\r\nCMD>");
      return;
  }
}

void Receiver::FinishFrame(bool cutShort) {
  SetState(State::Command);
  const auto refuse = [&](const std::string& why) {
    ++framesRefused_;
    Note("parameter frame refused: " + why);
    Reply(ToCp1250("\r\nCHYBA ZÁPISU\r\nCMD>"));
  };
  if (cutShort) {
    refuse("cut short after " + std::to_string(frame_.size()) + " of 128 bytes (no byte for " +
           std::to_string(options_.frameTimeoutMs) + " ms)");
    return;
  }
  const auto b0 = static_cast<std::uint8_t>(frame_[0]), b1 = static_cast<std::uint8_t>(frame_[1]);
  if (b0 != kSetHeader0 || b1 != kSetHeader1) {
    refuse("it starts with " + Hex2(b0) + " " + Hex2(b1) + " instead of 55 AA");
    return;
  }
  ++framesAccepted_;
  if (Has(Fault::KeepsOldSet)) {
    Note("parameter frame accepted, but the old set kept");
  } else {
    for (int i = 0; i < kParamSize; ++i) params_[i] = static_cast<std::uint8_t>(frame_[i]);
    Note("parameter frame accepted and stored");
  }
  if (std::any_of(frame_.begin() + kParamSize, frame_.end(), [](char c) { return c != '\xFF'; }))
    Note("note: the frame's bytes 72..127 are not all FF");
  Reply(ToCp1250("\r\nZAPSÁNO\r\nCMD>"));
}

void Receiver::EndClockField() {
  if (field_.empty()) return;
  fields_.push_back(std::move(field_));
  field_.clear();
  // The clock starts from the moment the seconds came, as a real clock chip
  // set by its last field would.
  if (fields_.size() == 7) ApplyClockFields(fieldLastByte_);
}

void Receiver::ApplyClockFields(Clock_::time_point lastByte) {
  static const char* const kNames[7] = {"day of week", "day", "month", "year", "hours", "minutes", "seconds"};
  static const int kMin[7] = {0, 1, 1, 0, 0, 0, 0};
  static const int kMax[7] = {6, 31, 12, 99, 23, 59, 59};
  int v[7];
  std::string shown;
  for (int i = 0; i < 7; ++i) {
    const std::string& f = fields_[i];
    shown += (i ? " " : "") + Printable(f);
    bool digits = !f.empty() && f.size() <= 4 &&
                  std::all_of(f.begin(), f.end(), [](char c) { return c >= '0' && c <= '9'; });
    v[i] = digits ? std::atoi(f.c_str()) : -1;
    if (!digits || v[i] < kMin[i] || v[i] > kMax[i]) {
      Note("clock write refused: " + std::string(kNames[i]) + " \"" + Printable(f) + "\" (fields " + shown + ")");
      fields_.clear();
      SetState(State::Command);
      Reply(ToCp1250("\r\nCHYBA NASTAVENÍ HODIN\r\nCMD>"));
      return;
    }
  }
  fields_.clear();
  SetClockLocked({v[0], v[1], v[2], 2000 + v[3], v[4], v[5], v[6]}, lastByte);
  if (Has(Fault::ClockOff)) {
    // A clock that misreads its hours field: an hour later, the day of week
    // following the date.
    clockBase_ += 3600;
    if (FloorDiv(clockBase_, 86400) != FloorDiv(clockBase_ - 3600, 86400)) clockBaseDow_ = (clockBaseDow_ + 1) % 7;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "clock set to %d %02d.%02d.%02d %02d:%02d:%02d", v[0], v[1], v[2], v[3], v[4],
                v[5], v[6]);
  Note(buf);
  SetState(State::Command);
  Reply("\r\nOK\r\nCMD>");
}

void Receiver::ReplyMonitor() {
  std::string text = ToCp1250("MONITOR UDÁLOSTÍ: ") + std::to_string(monitor_.size()) + "\r\n";
  for (const auto& line : monitor_) text += line + "\r\n";
  if (Has(Fault::MonitorNoEnd)) {
    Reply(std::move(text), true, true);
    return;
  }
  if (Has(Fault::MonitorLate)) {
    if (Reply(std::move(text), true, true)) Queue({Piece{"CMD>", options_.monitorLateMs, false}});
    return;
  }
  Reply(text + "CMD>", true, true);
}

bool Receiver::Reply(std::string text, bool commandReply, bool cuttable) {
  if (Has(Fault::Silent)) return false;
  bool whole = true;
  if (cuttable && Has(Fault::CutReply)) {
    text.resize(text.size() / 2);
    whole = false;
  }
  const bool vanish = commandReply && Has(Fault::Vanish);
  if (vanish) {
    text.resize((text.size() + 1) / 2);
    whole = false;
  }
  if (Has(Fault::Garbage)) {
    std::string mixed = Noise();
    for (char c : text) {
      if ((rng_ = rng_ * 1103515245u + 12345u) >> 28 == 0) mixed += '\0';   // about one in sixteen
      mixed += c;
    }
    text = std::move(mixed);
  }
  std::vector<Piece> pieces = Has(Fault::Split) ? SplitPieces(text) : std::vector<Piece>{Piece{text, 0, false}};
  if (Has(Fault::Slow)) pieces.front().delayMs += options_.slowDelayMs;
  // A moment's pause lets what went out reach the other side's buffer
  // before the line goes, as with an adapter pulled mid-reply.
  if (vanish) pieces.push_back(Piece{"", 50, true});
  Queue(std::move(pieces));
  return whole;
}

std::string Receiver::Noise() {
  std::string noise;
  const int n = 3 + static_cast<int>((rng_ = rng_ * 1103515245u + 12345u) >> 29);   // 3..10
  for (int i = 0; i < n; ++i) {
    std::uint8_t b;
    do {
      b = static_cast<std::uint8_t>((rng_ = rng_ * 1103515245u + 12345u) >> 24);
    } while ((b >= 0x20 && b < 0x7F) || b == '\r' || b == '\n');   // no text, no line break
    noise += static_cast<char>(b);
  }
  return noise;
}

std::vector<Receiver::Piece> Receiver::SplitPieces(const std::string& text) const {
  std::vector<Piece> pieces;
  std::string cur;
  const bool fine = text.size() <= 512;
  std::uint32_t r = rng_ ^ static_cast<std::uint32_t>(text.size());
  auto nextTarget = [&] { return 1 + static_cast<std::size_t>((r = r * 1103515245u + 12345u) >> 29) % 5; };
  std::size_t target = nextTarget();
  for (std::size_t i = 0; i < text.size(); ++i) {
    cur += text[i];
    const bool last = i + 1 == text.size();
    const bool cut = text[i] == '\r' ||
                     (cur.size() >= 2 && cur.compare(cur.size() - 2, 2, "WO") == 0 &&
                      text.compare(i + 1, 3, "RD:") == 0) ||
                     (fine && cur.size() >= target);
    if (cut && !last) {
      pieces.push_back(Piece{std::move(cur), pieces.empty() ? 0 : options_.splitGapMs, false});
      cur.clear();
      target = nextTarget();
    }
  }
  if (!cur.empty() || pieces.empty())
    pieces.push_back(Piece{std::move(cur), pieces.empty() ? 0 : options_.splitGapMs, false});
  return pieces;
}

void Receiver::Queue(std::vector<Piece> pieces) {
  for (auto& p : pieces) out_.push_back(std::move(p));
}

// ---------------------------------------------------------------- output

void Receiver::StartHead(Clock_::time_point now) {
  headStart_ = std::max(now, lineFree_) + milliseconds(out_.front().delayMs);
  headSent_ = 0;
  headStarted_ = true;
}

std::optional<Receiver::Clock_::time_point> Receiver::NextOutputTime() const {
  if (out_.empty() || master_ < 0 || writeBlocked_) return std::nullopt;
  if (!headStarted_) return Clock_::now();
  if (!options_.pacing || out_.front().vanish) return headStart_;
  return headStart_ + kByteTime * static_cast<long>(headSent_);
}

void Receiver::PumpOutput(Clock_::time_point now) {
  while (!out_.empty() && master_ >= 0) {
    if (!headStarted_) StartHead(now);
    if (now < headStart_) return;
    Piece& p = out_.front();
    if (p.vanish) {
      CloseLine("vanished in the middle of a reply (fault vanish)");
      return;
    }
    std::size_t due = p.bytes.size();
    if (options_.pacing) {
      const auto k = static_cast<std::size_t>((now - headStart_) / kByteTime) + 1;
      due = std::min(due, k);
    }
    if (due > headSent_) {
      if (writeBlocked_) return;
      const std::size_t want = due - headSent_;
      const ssize_t w = ::write(master_, p.bytes.data() + headSent_, want);
      if (w < 0) {
        if (errno == EAGAIN) writeBlocked_ = true;
        else if (errno != EINTR) CloseLine("write error on the pseudo-terminal");
        return;
      }
      AddTraffic(Direction::Tx, p.bytes.substr(headSent_, static_cast<std::size_t>(w)), now);
      headSent_ += static_cast<std::size_t>(w);
      if (static_cast<std::size_t>(w) < want) {
        writeBlocked_ = true;
        return;
      }
    }
    if (headSent_ < p.bytes.size()) return;
    lineFree_ = options_.pacing ? std::max(now, headStart_ + kByteTime * static_cast<long>(p.bytes.size())) : now;
    out_.pop_front();
    headStarted_ = false;
  }
}

}  // namespace sim
