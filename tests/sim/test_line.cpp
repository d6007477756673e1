// The simulated receiver's line: the published pty, its settings, pacing and
// the traffic log that tests use to check the program's timing.
#include <fstream>
#include <sstream>

#include "SimTestSupport.h"

namespace {

using namespace simtest;
using sim::Direction;
using sim::Receiver;

class LineTest : public PortMapFixture {};

TEST_F(LineTest, PublishesTheFirstFreeNumberAndRemovesOnlyItsOwnEntry) {
  Receiver a(Fast()), b(Fast());
  EXPECT_FALSE(a.Running());
  a.Start();
  EXPECT_TRUE(a.Running());
  EXPECT_EQ(a.PortName(), "COM1");
  EXPECT_EQ(Line::Resolve(1), fs::path(a.DevicePath()));
  // A leftover link to nowhere counts as free; a live entry does not.
  fs::create_symlink("/dev/zov-no-such-device", serial::PortMapDir() / "COM2");
  serial::PublishPort(3, "/dev/null");
  b.Start();
  EXPECT_EQ(b.PortName(), "COM2");
  EXPECT_NE(a.DevicePath(), b.DevicePath());

  a.Stop();
  EXPECT_FALSE(a.Running());
  EXPECT_EQ(serial::PortMapEntries().count(1), 0u);
  a.Stop();   // twice is harmless
  // Someone took COM2 over while b ran: b leaves their entry alone.
  serial::PublishPort(2, "/dev/zero");
  b.Stop();
  EXPECT_EQ(Line::Resolve(2), fs::path("/dev/zero"));
  EXPECT_EQ(Line::Resolve(3), fs::path("/dev/null"));
}

TEST_F(LineTest, AChosenNumberIsRefusedWhenTakenAndRangeChecked) {
  serial::PublishPort(5, "/dev/null");
  auto o = Fast();
  o.port = 5;
  Receiver taken(o);
  EXPECT_THROW(taken.Start(), std::runtime_error);
  EXPECT_EQ(Line::Resolve(5), fs::path("/dev/null"));

  o.port = 17;
  Receiver outOfRange(o);
  EXPECT_THROW(outOfRange.Start(), std::runtime_error);

  o.port = 9;
  Receiver nine(o);
  nine.Start();
  EXPECT_EQ(nine.PortName(), "COM9");
  EXPECT_THROW(nine.Start(), std::logic_error);
  nine.Stop();
  EXPECT_TRUE(Line::Resolve(9).empty());

  // Sixteen taken: no number left.
  for (int n = 1; n <= serial::kMaxPortNumber; ++n) serial::PublishPort(n, "/dev/null");
  Receiver none(Fast());
  EXPECT_THROW(none.Start(), std::runtime_error);
}

TEST_F(LineTest, UnpublishedReceiverStillServesItsDevice) {
  auto o = Fast();
  o.publish = false;
  o.resetOnStart = true;
  Receiver rx(o);
  rx.Start();
  EXPECT_EQ(rx.PortName(), "");
  EXPECT_TRUE(serial::PortMapEntries().empty());
  Line line(rx.DevicePath());
  ASSERT_TRUE(line.ok());
  line.Send(" ");
  EXPECT_EQ(line.ReadUntil("WORD:", 2000), "\r\nPASSWORD:");
}

TEST_F(LineTest, PtyIsRawSoNothingIsEchoedOrTranslated) {
  Receiver rx(Fast());
  rx.Start();
  const int fd = ::open(rx.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  termios t{};
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
  ::close(fd);
  // LF in a reply arrives as LF, CR as CR, high bytes untouched.
  Line line(rx.DevicePath());
  ASSERT_TRUE(LogIn(rx, line));
  line.Send("m");
  const std::string got = line.ReadUntil("CMD>", 2000);
  EXPECT_EQ(got.find("\r\r"), std::string::npos);
  EXPECT_NE(got.find('\xE9'), std::string::npos);
}

TEST_F(LineTest, TrafficLogKeepsEveryByteWithItsTime) {
  auto o = Fast();
  o.logPath = (dir_ / "traffic.log").string();
  Receiver rx(o);
  rx.Start();
  Line line(Line::Resolve(rx.PortNumber()));
  ASSERT_TRUE(LogIn(rx, line));
  // Polling as the program does, one space at a time, 150 ms apart.
  rx.ClearTraffic();
  for (int i = 0; i < 3; ++i) {
    line.Send(" ");
    std::this_thread::sleep_for(Ms(150));
  }
  const auto bytes = rx.ReceivedBytes();
  ASSERT_EQ(bytes.size(), 3u);
  for (std::size_t i = 1; i < bytes.size(); ++i) {
    EXPECT_EQ(bytes[i].byte, ' ');
    EXPECT_NEAR(bytes[i].ms - bytes[i - 1].ms, 150.0, 100.0);
  }
  line.Send("e");
  line.ReadUntil("CMD>", 2000);
  EXPECT_TRUE(rx.WaitIdle(1000));
  const auto traffic = rx.Traffic();
  double last = 0;
  for (const auto& e : traffic) {
    EXPECT_GE(e.ms, last);
    last = e.ms;
  }
  EXPECT_EQ(rx.ReceivedText(), "   e");
  EXPECT_EQ(rx.SentText().substr(0, 11), "PARAMETRY\r\n");

  rx.Stop();
  std::ifstream f(o.logPath);
  std::stringstream ss;
  ss << f.rdbuf();
  const std::string log = ss.str();
  EXPECT_NE(log.find(" rx 54 52 45 4D 4F"), std::string::npos);   // TREMO
  EXPECT_NE(log.find("|TREMO|"), std::string::npos);
  EXPECT_NE(log.find(" tx 0D 0A 50 41 53 53 57 4F 52 44 3A"), std::string::npos);
  EXPECT_NE(log.find("|\\r\\nPASSWORD:|"), std::string::npos);
  EXPECT_NE(log.find(" -- logged in, operator code 100"), std::string::npos);
}

TEST_F(LineTest, PacingSendsAboutOneByteEveryMillisecond) {
  auto o = Fast();
  o.pacing = true;
  Receiver rx(o);
  rx.Start();
  Line line(Line::Resolve(rx.PortNumber()));
  ASSERT_TRUE(LogIn(rx, line));
  rx.ClearTraffic();
  const auto t0 = std::chrono::steady_clock::now();
  line.Send("e");
  const std::string got = line.ReadUntil("CMD>", 3000);
  const double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  // 72 * 4 + 11 + 5 bytes at 1.04 ms each: about 318 ms.
  const double expected = static_cast<double>(got.size()) * 1.0417;
  EXPECT_GT(took, expected * 0.9);
  EXPECT_LT(took, expected + 700);
  int writes = 0;
  for (const auto& e : rx.Traffic()) writes += e.dir == Direction::Tx;
  EXPECT_GT(writes, 30);   // trickled out, not one block

  rx.SetPacing(false);
  const auto t1 = std::chrono::steady_clock::now();
  line.Send("e");
  line.ReadUntil("CMD>", 3000);
  const double unpaced = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t1).count();
  EXPECT_LT(unpaced, expected * 0.5);
}

}  // namespace
