#pragma once
// The Linux device layer against a real pseudo-terminal: the test holds the
// master (the far side), the layer opens the slave by its name.
#include "serial/LinuxComDevice.h"

#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace linuxdev_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// ComPort1's configuration: 9600 8N1, binary, NULs discarded, DTR/RTS off.
inline TDCB ProgramDcb() {
  TDCB d;
  d.BaudRate = 9600;
  d.Flags = dcb::fBinary | dcb::fNull;
  d.XonLim = d.XoffLim = 256;
  return d;
}

inline const TCommTimeouts kProgramTimeouts{kMaxDword, 0, 0, 100, 1000};

inline int CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComOsError& e) {
    return e.WinCode();
  }
  return 0;
}

// Runs a wait on a thread of its own: the result, or the error's code as a
// negative number.
inline std::future<long> WaitAsync(IComDevice& dev) {
  return std::async(std::launch::async, [&dev]() -> long {
    try {
      return dev.WaitCommEvent();
    } catch (const ComOsError& e) {
      return -e.WinCode();
    }
  });
}

class LinuxDevTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int slave = -1;
    char name[128];
    ASSERT_EQ(::openpty(&master_, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    path_ = name;
    dev_ = OpenLinuxComDevicePath(path_);
    dev_->SetupComm(1024, 1024);
    dev_->SetCommState(ProgramDcb());
    dev_->SetCommTimeouts(kProgramTimeouts);
  }
  void TearDown() override {
    dev_.reset();
    if (master_ >= 0) ::close(master_);
  }
  void Send(const std::string& s) {
    ASSERT_EQ(::write(master_, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  termios FarSide() {
    termios t{};
    EXPECT_EQ(::tcgetattr(master_, &t), 0);
    return t;
  }
  // Blocks up to ms for n bytes.
  std::string ReadBlocking(uint32_t n, uint32_t ms = 2000) {
    dev_->SetCommTimeouts({0, 0, ms, 0, 0});
    std::string s(n, '\0');
    s.resize(dev_->Read(s.data(), n));
    dev_->SetCommTimeouts(kProgramTimeouts);
    return s;
  }

  int master_ = -1;
  std::string path_;
  std::unique_ptr<IComDevice> dev_;
};

}  // namespace linuxdev_test
