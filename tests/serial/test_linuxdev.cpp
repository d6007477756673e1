// The Linux device layer on a pseudo-terminal: line settings as the far
// side sees them, the input filter, timeouts, exclusive open, events.
#include "LinuxDevPty.h"
#include "PtyHelper.h"
#include "portmap/PortMap.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>

// The kernel's termios with free speeds (glibc does not declare it).
struct termios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};


namespace {

using namespace linuxdev_test;

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

TEST_F(LinuxDevTest, RatesWithoutSpeedConstantAreSetExactlyAndLeaveNothingBehind) {
  auto speeds = [&] {
    termios2 t2{};
    EXPECT_EQ(::ioctl(master_, TCGETS2, &t2), 0);
    return std::pair<speed_t, speed_t>(t2.c_ispeed, t2.c_ospeed);
  };
  // A free speed with the error marks: the line takes both in one step, and
  // the filter reads the line's marks (a real 0xFF comes doubled).
  TDCB d = ProgramDcb();
  d.BaudRate = 14400;
  d.Flags |= dcb::fParity | dcb::fErrorChar;
  d.ErrorChar = '?';
  dev_->SetCommState(d);
  EXPECT_EQ(speeds(), std::make_pair(speed_t{14400}, speed_t{14400}));
  EXPECT_TRUE(FarSide().c_iflag & PARMRK);
  Send("a\xFF" "b");
  EXPECT_EQ(ReadBlocking(3), "a\xFF" "b");
  // Back to a rate with a constant: the input follows the output again
  // rather than staying at the free speed.
  dev_->SetCommState(ProgramDcb());
  EXPECT_EQ(speeds(), std::make_pair(speed_t{9600}, speed_t{9600}));
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

// Reads that must not wait are caught by the test's watchdog if they do
// (nothing else would end them); no wall-clock bound that a slow machine
// could break.
TEST_F(LinuxDevTest, ReadNeverBlocksWithProgramTimeouts) {
  char buf[10];
  EXPECT_EQ(dev_->Read(buf, 10), 0u);

  dev_->SetCommMask(ev::RXCHAR);
  Send("xyz");
  EXPECT_EQ(dev_->WaitCommEvent(), ev::RXCHAR);
  EXPECT_EQ(dev_->ClearCommError().InQue, 3u);
  ASSERT_EQ(dev_->Read(buf, 10), 3u);
  EXPECT_EQ(std::string(buf, 3), "xyz");

  // A total timeout bounds a read that gets nothing, and not too early.
  dev_->SetCommTimeouts({0, 0, 200, 0, 0});
  auto t0 = Clock::now();
  EXPECT_EQ(dev_->Read(buf, 10), 0u);
  EXPECT_GE(Clock::now() - t0, 200ms);

  // An interval alone: the read ends when the line falls silent.
  dev_->SetCommTimeouts({50, 0, 0, 0, 0});
  Send("ab");
  EXPECT_EQ(dev_->Read(buf, 10), 2u);
  // Interval and multiplier MAXDWORD: the first bytes end the read, long
  // before the constant (a minute) would.
  dev_->SetCommTimeouts({kMaxDword, kMaxDword, 60000, 0, 0});
  auto later = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(50ms);
    Send("q");
  });
  EXPECT_EQ(dev_->Read(buf, 10), 1u);
  later.get();
  // Totals as large as they go (MAXDWORD x n) are no limit, not an overflow.
  dev_->SetCommTimeouts({0, kMaxDword, kMaxDword, kMaxDword, kMaxDword});
  Send("xyz");
  EXPECT_EQ(dev_->Read(buf, 3), 3u);
  EXPECT_EQ(dev_->Write("w", 1), 1u);
}

TEST_F(LinuxDevTest, SecondOpenIsRefusedAsBusyUntilClosed) {
  // Root passes TIOCEXCL; the lock still refuses.
  EXPECT_EQ(CodeOf([&] { OpenLinuxComDevicePath(path_); }), 32);
  dev_.reset();
  EXPECT_NO_THROW(dev_ = OpenLinuxComDevicePath(path_));
}

TEST_F(LinuxDevTest, OpenByComNameAndMissingDevices) {
  TempConfigHome home;  // a port map of the test's own
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
}

TEST_F(LinuxDevTest, ForbiddenNodeIsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root opens a chmod 000 node regardless";
  dev_.reset();
  ASSERT_EQ(::chmod(path_.c_str(), 0), 0);
  EXPECT_EQ(CodeOf([&] { OpenLinuxComDevicePath(path_); }), 5);
  ::chmod(path_.c_str(), 0620);
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
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), long{ev::RXCHAR});
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
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), long{ev::TXEMPTY});
}

}  // namespace
