#include "PtyHelper.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

TestPty::TestPty() {
  char name[256];
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::system_error(errno, std::generic_category(), "openpty");
  slavePath_ = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  termios t{};
  ::tcgetattr(slave_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave_, TCSANOW, &t);
}

TestPty::~TestPty() {
  CloseMaster();
  if (slave_ >= 0) ::close(slave_);
}

void TestPty::WriteAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      throw std::system_error(errno, std::generic_category(), "write to pty master");
    }
    done += static_cast<size_t>(n);
  }
}

std::string TestPty::ReadSome(int timeoutMs) {
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return {};
  char buf[4096];
  ssize_t n = ::read(master_, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

size_t TestPty::WriteSome(const std::string& bytes) {
  ssize_t n = ::write(master_, bytes.data(), bytes.size());
  return n > 0 ? static_cast<size_t>(n) : 0;
}

void TestPty::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

TempConfigHome::TempConfigHome() {
  char tmpl[] = "/tmp/zov-serial-test-XXXXXX";
  if (!::mkdtemp(tmpl)) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  dir_ = tmpl;
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
    old_ = old;
    hadOld_ = true;
  }
  ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
}

TempConfigHome::~TempConfigHome() {
  if (hadOld_)
    ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}
