#pragma once
// Shared pieces of the simulator's tests: a port map of the test's own and
// the program's end of the line, opened by the published name.
#include <cerrno>
#include <chrono>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "portmap/PortMap.h"
#include "sim/Receiver.h"

namespace simtest {

namespace fs = std::filesystem;
using Ms = std::chrono::milliseconds;

// Points XDG_CONFIG_HOME at a fresh directory for the test's own port map.
class PortMapFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zov-sim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (old_.empty()) ::unsetenv("XDG_CONFIG_HOME");
    else ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
  std::string old_;
};

inline std::string WithoutNul(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
  return s;
}

// The program's side of the line: the published device, raw, non-blocking.
class Line {
 public:
  explicit Line(const fs::path& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  // Opens what the port map says COMn stands for.
  static fs::path Resolve(int number) {
    const auto entries = serial::PortMapEntries();
    const auto it = entries.find(number);
    return it == entries.end() ? fs::path() : it->second;
  }
  ~Line() {
    if (fd_ >= 0) ::close(fd_);
  }
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;
  bool ok() const { return fd_ >= 0; }

  void Send(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (w < 0 && errno == EAGAIN) { pollfd p{fd_, POLLOUT, 0}; ::poll(&p, 1, 100); continue; }
      ASSERT_GT(w, 0) << "write failed: " << std::strerror(errno);
      done += static_cast<std::size_t>(w);
    }
  }

  // Reads until `needle` has arrived (in what this call read, NUL bytes
  // left out as the program's port does) or timeoutMs has passed; returns
  // what was read.
  std::string ReadUntil(std::string_view needle, int timeoutMs) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + Ms(timeoutMs);
    while (WithoutNul(got).find(needle) == std::string::npos) {
      const auto left = std::chrono::duration_cast<Ms>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0 || !ReadSome(got, static_cast<int>(left))) break;
    }
    return got;
  }
  // One poll + read; false on timeout, hang-up or error.
  bool ReadSome(std::string& into, int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    hungUp_ = hungUp_ || (p.revents & (POLLHUP | POLLERR));
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) {
      if (n < 0 && errno == EAGAIN) return true;
      hungUp_ = true;
      return false;
    }
    into.append(buf, static_cast<std::size_t>(n));
    return true;
  }
  bool HungUp() const { return hungUp_; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  bool hungUp_ = false;
};

inline sim::Options Fast() {
  sim::Options o;
  o.pacing = false;
  o.monitorLines = 20;
  return o;
}

// Presses reset (unless told not to) and logs in as the program does;
// returns false with a failure recorded when a step does not answer.
inline ::testing::AssertionResult LogIn(sim::Receiver& rx, Line& line, char op = 'd', bool pressReset = true) {
  if (pressReset) rx.PressReset();
  line.Send(" ");
  std::string got = line.ReadUntil("WORD:", 2000);
  if (WithoutNul(got).find("WORD:") == std::string::npos) return ::testing::AssertionFailure() << "no WORD: but \"" << got << '"';
  line.Send("TREMO");
  got = line.ReadUntil("OP:", 2000);
  if (WithoutNul(got).find("OP:") == std::string::npos) return ::testing::AssertionFailure() << "no OP: but \"" << got << '"';
  line.Send(std::string(1, op));
  got = line.ReadUntil("CMD>", 2000);
  if (WithoutNul(got).find("CMD>") == std::string::npos) return ::testing::AssertionFailure() << "no CMD> but \"" << got << '"';
  return ::testing::AssertionSuccess();
}

// Fields cut the way the program cuts the reply to "e": 72 fields of three
// characters, one apart, the first ending just before the first comma.
inline sim::ParamSet CutFields(const std::string& reply) {
  sim::ParamSet p{};
  const std::size_t comma = reply.find(',');
  for (int i = 0; i < sim::kParamSize; ++i) {
    const std::size_t at = comma - 3 + 4 * static_cast<std::size_t>(i);
    p[i] = static_cast<std::uint8_t>(std::atoi(reply.substr(at, 3).c_str()));
  }
  return p;
}

}  // namespace simtest
