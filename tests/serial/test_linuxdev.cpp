// The Linux device layer against a real pseudo-terminal: the test holds the
// master (the far side), the layer opens the slave by its name.
#include "serial/ComDevice.h"
#include "serial/PortMap.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The kernel's termios with free speeds (glibc does not declare it).
struct termios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};

namespace {

// ComPort1's configuration: 9600 8N1, binary, NULs discarded, DTR/RTS off.
TDCB ProgramDcb() {
  TDCB d;
  d.BaudRate = 9600;
  d.Flags = dcb::fBinary | dcb::fNull;
  d.XonLim = d.XoffLim = 256;
  return d;
}

const TCommTimeouts kProgramTimeouts{kMaxDword, 0, 0, 100, 1000};

int CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComOsError& e) {
    return e.WinCode();
  }
  return 0;
}

// Runs a wait on a thread of its own: the result, or the error's code as a
// negative number.
std::future<long> WaitAsync(IComDevice& dev) {
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

TEST_F(LinuxDevTest, ProgramLineSettingsReachTheDevice) {
  const termios t = FarSide();
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  EXPECT_EQ(::cfgetispeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL));
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | IXANY | INPCK | PARMRK | ISTRIP | ICRNL | INLCR | IGNCR | BRKINT));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN));
  EXPECT_FALSE(t.c_oflag & OPOST);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // A pty has no modem lines: DTR/RTS off was not fatal, and the status is all off.
  EXPECT_EQ(dev_->GetCommModemStatus(), 0u);
}

TEST_F(LinuxDevTest, ParityStopBitsAndFlowControl) {
  // A pty forces CS8 and clears PARENB itself; the odd/mark/space bits and
  // the parity check survive and show what was asked for.
  struct { uint8_t parity; tcflag_t want; } cases[] = {
      {1, PARODD}, {2, 0}, {3, PARODD | CMSPAR}, {4, CMSPAR}};
  for (auto c : cases) {
    TDCB d = ProgramDcb();
    d.Parity = c.parity;
    d.Flags |= dcb::fParity;
    dev_->SetCommState(d);
    const termios t = FarSide();
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.want) << "parity " << int(c.parity);
    EXPECT_TRUE(t.c_iflag & INPCK);
  }
  for (uint8_t stop : {1, 2}) {  // 1.5 and 2 both give two stop bits
    TDCB d = ProgramDcb();
    d.StopBits = stop;
    dev_->SetCommState(d);
    EXPECT_TRUE(FarSide().c_cflag & CSTOPB);
  }
  TDCB x = ProgramDcb();
  x.Flags |= dcb::fOutX | dcb::fInX;
  x.XonChar = 0x11 + 1;
  x.XoffChar = 0x13 + 1;
  x.BaudRate = 115200;
  dev_->SetCommState(x);
  termios t = FarSide();
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(t.c_cc[VSTART], 0x12);
  EXPECT_EQ(t.c_cc[VSTOP], 0x14);
  EXPECT_EQ(::cfgetospeed(&t), B115200);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);

  TDCB h = ProgramDcb();
  h.Flags |= dcb::fOutxCtsFlow | (2u << dcb::fRtsControlShift);
  dev_->SetCommState(h);
  EXPECT_TRUE(FarSide().c_cflag & CRTSCTS);
  dev_->SetCommState(ProgramDcb());
  EXPECT_FALSE(FarSide().c_cflag & CRTSCTS);

  TDCB bad = ProgramDcb();
  bad.ByteSize = 9;
  EXPECT_EQ(CodeOf([&] { dev_->SetCommState(bad); }), 87);
  bad = ProgramDcb();
  bad.BaudRate = 0;
  EXPECT_EQ(CodeOf([&] { dev_->SetCommState(bad); }), 87);
}

TEST_F(LinuxDevTest, RateWithoutSpeedConstantIsSetExactly) {
  TDCB d = ProgramDcb();
  d.BaudRate = 14400;
  dev_->SetCommState(d);
  // Read back through the kernel's free-speed record.
  termios2 t2{};
  ASSERT_EQ(::ioctl(master_, TCGETS2, &t2), 0);
  EXPECT_EQ(t2.c_ospeed, 14400u);
  EXPECT_EQ(t2.c_ispeed, 14400u);
}

TEST_F(LinuxDevTest, DiscardNullDropsEveryNulAndOnlyThen) {
  Send(std::string("\0a\0b\0\0c\0", 8));
  EXPECT_EQ(ReadBlocking(3), "abc");
  EXPECT_EQ(ReadBlocking(1, 100), "");  // the NULs after it are gone too
  EXPECT_EQ(dev_->ClearCommError().InQue, 0u);
  Send(std::string(100, '\0'));  // a batch of nothing but NULs
  EXPECT_EQ(ReadBlocking(1, 100), "");

  TDCB keep = ProgramDcb();
  keep.Flags &= ~dcb::fNull;
  dev_->SetCommState(keep);
  Send(std::string("\0a\0b", 4));
  EXPECT_EQ(ReadBlocking(4), std::string("\0a\0b", 4));
}

TEST_F(LinuxDevTest, ReadNeverBlocksWithProgramTimeouts) {
  char buf[10];
  auto t0 = Clock::now();
  EXPECT_EQ(dev_->Read(buf, 10), 0u);
  EXPECT_LT(Clock::now() - t0, 100ms);

  dev_->SetCommMask(ev::RXCHAR);
  Send("xyz");
  EXPECT_EQ(dev_->WaitCommEvent(), ev::RXCHAR);
  EXPECT_EQ(dev_->ClearCommError().InQue, 3u);
  t0 = Clock::now();
  ASSERT_EQ(dev_->Read(buf, 10), 3u);
  EXPECT_LT(Clock::now() - t0, 100ms);
  EXPECT_EQ(std::string(buf, 3), "xyz");

  // A total timeout bounds a read that gets nothing.
  dev_->SetCommTimeouts({0, 0, 200, 0, 0});
  t0 = Clock::now();
  EXPECT_EQ(dev_->Read(buf, 10), 0u);
  EXPECT_GT(Clock::now() - t0, 150ms);
  EXPECT_LT(Clock::now() - t0, 2s);
}

TEST_F(LinuxDevTest, WriteIsBoundedByItsTimeoutAndEndedByAbort) {
  // The far side never reads: the pty buffer fills and the write must end.
  std::string big(1 << 20, 'w');
  dev_->SetCommTimeouts({kMaxDword, 0, 0, 0, 300});
  auto t0 = Clock::now();
  uint32_t n = dev_->Write(big.data(), big.size());
  auto took = Clock::now() - t0;
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_GT(took, 200ms);
  EXPECT_LT(took, 3s);

  // Without a limit only an abort ends it.
  dev_->SetCommTimeouts({kMaxDword, 0, 0, 0, 0});
  auto w = std::async(std::launch::async, [&] { return dev_->Write(big.data(), big.size()); });
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  dev_->PurgeComm(purge::TXABORT);
  ASSERT_EQ(w.wait_for(2s), std::future_status::ready);
  EXPECT_LT(w.get(), big.size());
}

TEST_F(LinuxDevTest, SecondOpenIsRefusedAsBusyUntilClosed) {
  // Root passes TIOCEXCL; the lock still refuses.
  EXPECT_EQ(CodeOf([&] { OpenLinuxComDevicePath(path_); }), 32);
  dev_.reset();
  EXPECT_NO_THROW(dev_ = OpenLinuxComDevicePath(path_));
}

TEST_F(LinuxDevTest, OpenByComNameAndMissingDevices) {
  char tmpl[] = "/tmp/zov-linuxdev-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string oldValue = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", tmpl, 1);

  dev_.reset();
  serial::PublishPort(8, path_);
  EXPECT_NO_THROW(dev_ = OpenLinuxComDevice("COM8"));
  EXPECT_EQ(CodeOf([] { OpenLinuxComDevice("COM99"); }), 2);
  serial::PublishPort(7, "/dev/zov-no-such-device");
  try {
    OpenLinuxComDevice("COM7");
    ADD_FAILURE() << "opened a missing device";
  } catch (const ComOsError& e) {
    EXPECT_EQ(e.WinCode(), 2);
    EXPECT_EQ(e.SysErrno(), ENOENT);
  }
  EXPECT_EQ(CodeOf([] { OpenLinuxComDevicePath("/dev/null"); }), 31);  // not a serial device

  if (old) ::setenv("XDG_CONFIG_HOME", oldValue.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
  std::filesystem::remove_all(tmpl);
}

TEST_F(LinuxDevTest, ForbiddenNodeIsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root opens a chmod 000 node regardless";
  dev_.reset();
  ASSERT_EQ(::chmod(path_.c_str(), 0), 0);
  EXPECT_EQ(CodeOf([&] { OpenLinuxComDevicePath(path_); }), 5);
  ::chmod(path_.c_str(), 0620);
}

TEST_F(LinuxDevTest, CancelWaitAndEmptyMaskEndABlockedWaitAtOnce) {
  dev_->SetCommMask(ev::RXCHAR | ev::RING);
  auto w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  dev_->CancelWait();
  ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(w.get(), 0);

  w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  dev_->SetCommMask(0);
  ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(w.get(), 0);

  // A cancel with no wait pending ends the next wait, and only that one.
  dev_->SetCommMask(ev::RXCHAR);
  dev_->CancelWait();
  EXPECT_EQ(dev_->WaitCommEvent(), 0u);
  w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  Send("a");
  ASSERT_EQ(w.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(w.get(), long{ev::RXCHAR});
}

TEST_F(LinuxDevTest, EventCharRaisesRxFlagAndEarlierArrivalsCount) {
  TDCB d = ProgramDcb();
  d.EvtChar = '\n';
  dev_->SetCommState(d);
  dev_->SetCommMask(ev::RXCHAR | ev::RXFLAG);
  Send("abc");
  EXPECT_EQ(dev_->WaitCommEvent(), ev::RXCHAR);
  Send("line\n");
  uint32_t seen = 0;
  for (int i = 0; i < 3 && !(seen & ev::RXFLAG); ++i) seen |= dev_->WaitCommEvent();
  EXPECT_EQ(seen, ev::RXCHAR | ev::RXFLAG);
  char buf[16];
  EXPECT_EQ(dev_->Read(buf, sizeof buf), 8u);  // nothing lost to the waits

  // Bytes that came while no wait was armed are reported by the next one.
  Send("late");
  std::this_thread::sleep_for(50ms);
  auto w = WaitAsync(*dev_);
  ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(w.get(), long{ev::RXCHAR});
}

TEST_F(LinuxDevTest, FarSideVanishingEndsEveryWaitWithoutSpinning) {
  dev_->SetCommMask(ev::RXCHAR | ev::RING);
  auto w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  ::close(master_);
  master_ = -1;
  ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(w.get(), -1117);
  w = WaitAsync(*dev_);  // a second wait fails at once too, it does not block or loop
  ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(w.get(), -1117);
  char c;
  EXPECT_EQ(CodeOf([&] { dev_->Read(&c, 1); }), 1117);
  EXPECT_EQ(CodeOf([&] { dev_->Write("x", 1); }), 1117);
  // Closing still works: aborting and emptying a vanished device is no failure.
  EXPECT_NO_THROW(dev_->PurgeComm(purge::TXABORT | purge::RXABORT));
  EXPECT_NO_THROW(dev_->PurgeComm(purge::TXCLEAR | purge::RXCLEAR));
}

TEST_F(LinuxDevTest, PurgeEmptiesTheInputAndAbortsAPendingRead) {
  dev_->SetCommMask(ev::RXCHAR);
  Send("0123456789");
  EXPECT_EQ(dev_->WaitCommEvent(), ev::RXCHAR);
  EXPECT_EQ(dev_->ClearCommError().InQue, 10u);
  dev_->PurgeComm(purge::RXCLEAR | purge::TXCLEAR);
  EXPECT_EQ(dev_->ClearCommError().InQue, 0u);
  char buf[10];
  EXPECT_EQ(dev_->Read(buf, 10), 0u);

  dev_->SetCommTimeouts({0, 0, 0, 0, 0});  // a read that waits for all 10
  auto r = std::async(std::launch::async, [&] { return dev_->Read(buf, 10); });
  EXPECT_EQ(r.wait_for(100ms), std::future_status::timeout);
  dev_->PurgeComm(purge::RXABORT);
  ASSERT_EQ(r.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(r.get(), 0u);
}

TEST_F(LinuxDevTest, QueuePastItsSizeRaisesRx80FullAndLosesNothing) {
  dev_->SetupComm(100, 100);
  dev_->SetCommMask(ev::RXCHAR | ev::RX80FULL);
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>('A' + i % 26);
  Send(data);
  uint32_t seen = 0;
  for (int i = 0; i < 5 && !(seen & ev::RX80FULL); ++i) seen |= dev_->WaitCommEvent();
  EXPECT_TRUE(seen & ev::RX80FULL);
  EXPECT_EQ(ReadBlocking(300), data);
  EXPECT_EQ(dev_->ClearCommError().Errors, 0u);  // nothing was lost
}

TEST_F(LinuxDevTest, TxEmptyFollowsAWrite) {
  dev_->SetCommMask(ev::TXEMPTY);
  auto w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);  // nothing sent yet
  EXPECT_EQ(dev_->Write("hello", 5), 5u);
  ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(w.get(), long{ev::TXEMPTY});
}

double CpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// With input flow control the own queue stops at its size and leaves the
// rest in the kernel (which then holds the sender off); the wait must then
// sleep, not spin, and nothing may be lost.
TEST_F(LinuxDevTest, FlowControlledQueueStopsAtItsSizeWithoutSpinning) {
  TDCB d = ProgramDcb();
  d.Flags |= dcb::fInX;
  dev_->SetCommState(d);
  dev_->SetupComm(100, 100);
  dev_->SetCommMask(ev::RXCHAR);
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>('a' + i % 26);
  Send(data);
  EXPECT_EQ(dev_->WaitCommEvent(), ev::RXCHAR);
  std::this_thread::sleep_for(50ms);  // let the rest reach the kernel's queue
  EXPECT_EQ(dev_->ClearCommError().InQue, 300u);
  const double cpu0 = CpuSeconds();
  auto w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(200ms), std::future_status::timeout);
  EXPECT_LT(CpuSeconds() - cpu0, 0.1);
  EXPECT_EQ(ReadBlocking(300), data);
  dev_->CancelWait();
  ASSERT_EQ(w.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(w.get(), 0);
}

// The event thread waits while another thread reads, as the component does:
// a flood with NULs arrives complete, in order and without the NULs.
TEST_F(LinuxDevTest, FloodArrivesCompleteInOrderWhileWaitAndReadsOverlap) {
  std::string sent, expected;
  for (int i = 0; i < 256 * 1024; ++i) {
    char c = i % 7 == 0 ? '\0' : static_cast<char>('a' + i % 23);
    sent += c;
    if (c) expected += c;
  }
  dev_->SetCommMask(ev::RXCHAR);
  std::mutex m;
  std::condition_variable cv;
  int notifications = 0;
  std::thread waiter([&] {
    while (dev_->WaitCommEvent() != 0) {
      std::lock_guard lk(m);
      ++notifications;
      cv.notify_one();
    }
  });
  std::thread farSide([&] {
    for (size_t off = 0; off < sent.size();) {
      ssize_t n = ::write(master_, sent.data() + off, std::min<size_t>(4096, sent.size() - off));
      if (n > 0) off += n;
    }
  });
  std::string got;
  const auto deadline = Clock::now() + 20s;
  while (got.size() < expected.size() && Clock::now() < deadline) {
    {
      std::unique_lock lk(m);
      cv.wait_for(lk, 50ms, [&] { return notifications > 0; });
      notifications = 0;
    }
    uint32_t queued = dev_->ClearCommError().InQue;
    std::string chunk(queued + 512, '\0');
    uint32_t n = dev_->Read(chunk.data(), chunk.size());
    EXPECT_GE(n, queued);  // what was announced is there to read
    got.append(chunk.data(), n);
  }
  farSide.join();
  dev_->CancelWait();
  waiter.join();
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

}  // namespace
