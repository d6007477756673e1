#include "trace/TraceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "portmap/PortNames.h"

namespace trace {

namespace {

// The devices a trace may write to, by their numbers: pseudo-terminal
// slaves (Unix 98, and the old BSD ones), the virtual consoles tty0..tty63,
// and the sinks /dev/null and /dev/full. Every other character device is
// refused: the serial ports (ttyS, ttyUSB, ttyACM, ttyAMA, rfcomm...) and
// whatever else a device node may stand for.
bool WatchingDevice(dev_t device) {
  const unsigned maj = major(device), min = minor(device);
  if (maj >= 136 && maj <= 143) return true;  // /dev/pts/N
  if (maj == 3) return true;                  // /dev/ttyp*
  if (maj == 4 && min < 64) return true;      // /dev/tty0../dev/tty63 (ttyS* from 64 on)
  return maj == 1 && (min == 3 || min == 7);  // /dev/null, /dev/full
}

// /dev/tty and /dev/console stand for another terminal, asked once open.
bool TerminalAlias(dev_t device) { return major(device) == 5 && minor(device) <= 1; }

// The terminal behind a descriptor (the one /dev/tty or /dev/console stand
// for, too); the node's own number when the system does not say.
dev_t TerminalDevice(int fd, dev_t node) {
  unsigned int real = 0;
  if (::isatty(fd) && ::ioctl(fd, TIOCGDEV, &real) == 0) return static_cast<dev_t>(real);
  return node;
}

// The COM name whose device is this terminal, "" when none is.
std::string PortOfDevice(dev_t device) {
  std::vector<serial::SerialPortEntry> ports;
  try {
    ports = serial::EnumerateSerialPorts();
  } catch (const std::system_error&) {
    return std::string();  // no device scan: the terminal is not one of the ports found
  }
  for (const serial::SerialPortEntry& port : ports) {
    struct stat st {};
    if (::stat(port.device.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device)
      return port.name + " (" + port.device.string() + ")";
  }
  return std::string();
}

bool Refuse(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// What a node found before opening it must not be opened for.
bool MayOpen(const struct stat& st, std::string* error) {
  if (S_ISDIR(st.st_mode)) return Refuse(error, "it is a directory");
  if (S_ISBLK(st.st_mode)) return Refuse(error, "it is a block device, not a file");
  if (S_ISCHR(st.st_mode) && !WatchingDevice(st.st_rdev) && !TerminalAlias(st.st_rdev))
    return Refuse(error, "it is a serial port or another device, not a file, a pipe or a terminal to watch");
  return true;
}

// What the open descriptor is may take the trace; *device is set for a
// character device.
bool MayWrite(int fd, std::optional<dev_t>* device, std::string* error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Refuse(error, std::strerror(errno));
  if (!S_ISCHR(st.st_mode)) return MayOpen(st, error);
  const dev_t real = TerminalDevice(fd, st.st_rdev);
  if (!WatchingDevice(real))
    return Refuse(error, "it is a serial port or another device, not a file, a pipe or a terminal to watch");
  if (::isatty(fd)) {
    if (const std::string port = PortOfDevice(real); !port.empty())
      return Refuse(error, "it is the serial port " + port + ", which the trace must not write to");
  }
  *device = real;
  return true;
}

}  // namespace

std::unique_ptr<TTraceFile> TTraceFile::Open(const std::string& path, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !MayOpen(st, error)) return nullptr;
  // Non-blocking: a FIFO that nobody reads is refused at once instead of
  // waiting for a reader, and later a write that would wait (a reader that
  // stops taking lines) fails instead, which stops the trace.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int e = errno;
    const bool fifo = ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    Refuse(error, e == ENXIO && fifo ? "no program reads from this FIFO (or pipe)" : std::strerror(e));
    return nullptr;
  }
  std::optional<dev_t> device;
  if (!MayWrite(fd, &device, error)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TTraceFile>(new TTraceFile(fd, path, device));
}

TTraceFile::TTraceFile(int fd, std::string path, std::optional<dev_t> device)
    : fd_(fd), path_(std::move(path)), device_(device), reporter_([](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
      }) {}

TTraceFile::~TTraceFile() {
  if (fd_ >= 0) ::close(fd_);
}

void TTraceFile::Data(TDirection direction, std::string_view bytes) {
  Data(direction, bytes, std::chrono::system_clock::now());
}

void TTraceFile::Comment(std::string_view text) { Comment(text, std::chrono::system_clock::now()); }

void TTraceFile::Data(TDirection direction, std::string_view bytes, std::chrono::system_clock::time_point at) {
  const TLocalMoment moment = LocalMoment(at);
  Write(DataLine(moment.time, direction, bytes), moment.date, moment.time);
}

void TTraceFile::Comment(std::string_view text, std::chrono::system_clock::time_point at) {
  const TLocalMoment moment = LocalMoment(at);
  Write(CommentLine(moment.time, text), moment.date, moment.time);
}

bool TTraceFile::IsOnDevice(const std::string& devicePath) const {
  std::lock_guard lock(mu_);
  struct stat st {};
  return device_ && ::stat(devicePath.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == *device_;
}

void TTraceFile::Stop(const std::string& why) {
  std::lock_guard lock(mu_);
  StopLocked(why);
}

bool TTraceFile::Stopped() const {
  std::lock_guard lock(mu_);
  return fd_ < 0;
}

void TTraceFile::SetReporter(std::function<void(const std::string& message)> reporter) {
  std::lock_guard lock(mu_);
  reporter_ = std::move(reporter);
}

void TTraceFile::Write(const std::string& line, const TLocalDate& date, const TTimeOfDay& time) {
  std::lock_guard lock(mu_);
  if (fd_ < 0) return;
  if (date_ != date) {
    if (!WriteWhole(DateLine(time, date))) return;
    date_ = date;
  }
  WriteWhole(line);
}

bool TTraceFile::WriteWhole(const std::string& line) {
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int e = errno;
      StopLocked("the trace file " + path_ + " cannot be written: " +
                 (n == 0                             ? std::string("nothing written")
                  : e == EAGAIN || e == EWOULDBLOCK ? std::string("its reader does not keep up")
                                                    : std::string(std::strerror(e))));
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

void TTraceFile::StopLocked(const std::string& why) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (reported_) return;
  reported_ = true;
  if (reporter_) reporter_("zov-q5r: tracing stops, " + why);
}

}  // namespace trace
