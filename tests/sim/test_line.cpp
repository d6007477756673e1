// The simulated receiver on its real line: the published pty, its settings,
// pacing and bursts, the traffic log that tests use to check the program's
// timing, a line that vanishes, and the next receiver after a cable swap.
// What it answers is the protocol machine's, tested in virtual time.
#include <fstream>
#include <sstream>

#include "SimTestSupport.h"

namespace {

using namespace simtest;
using sim::Direction;
using sim::Fault;
using sim::Receiver;
using sim::State;
using SteadyClock = std::chrono::steady_clock;

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
  // Logged before the reset too, though not answered.
  line.Send("x");
  ASSERT_TRUE(rx.WaitFor([&] { return rx.ReceivedText() == "x"; }, 2000));
  ASSERT_TRUE(LogIn(rx, line));

  // Each byte's moment lies between its write and the moment the log had it.
  rx.ClearTraffic();
  for (std::size_t i = 1; i <= 3; ++i) {
    const auto sent = SteadyClock::now();
    const auto sentWall = std::chrono::system_clock::now();
    line.Send(" ");
    ASSERT_TRUE(rx.WaitFor([&] { return rx.ReceivedBytes().size() == i; }, 2000));
    const auto seen = SteadyClock::now();
    const auto seenWall = std::chrono::system_clock::now();
    const sim::TrafficEntry e = rx.Traffic().back();
    EXPECT_EQ(e.dir, Direction::Rx);
    EXPECT_GE(e.at, sent);
    EXPECT_LE(e.at, seen);
    EXPECT_LE(e.wall, seenWall);
    EXPECT_GT(e.wall, sentWall - std::chrono::minutes(1));
    const sim::TrafficEntry first = rx.Traffic().front();
    const double since = std::chrono::duration<double, std::milli>(e.at - first.at).count();
    EXPECT_NEAR(e.ms - first.ms, since, 0.001);
  }
  line.Send("e");
  line.ReadUntil("CMD>", 2000);
  EXPECT_TRUE(rx.WaitIdle(1000));
  double last = 0;
  for (const auto& e : rx.Traffic()) {
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

// Paced, a reply goes out in chunks of the burst size, chunk k no sooner
// than k chunks' byte times after the command came; unpaced, in one write.
TEST_F(LineTest, PacedRepliesGoOutAChunkAtATimeAndNeverEarly) {
  struct Case {
    int burst;
    bool pacing;
  };
  for (const Case c : {Case{1, true}, Case{8, true}, Case{8, false}}) {
    SCOPED_TRACE("burst " + std::to_string(c.burst) + (c.pacing ? ", paced" : ", pacing switched off"));
    auto o = Fast();
    o.pacing = true;
    o.burst = c.burst;
    Receiver rx(o);
    rx.Start();
    Line line(Line::Resolve(rx.PortNumber()));
    ASSERT_TRUE(LogIn(rx, line));
    if (!c.pacing) rx.SetPacing(false);
    ASSERT_TRUE(rx.WaitIdle(2000));
    rx.ClearTraffic();
    const auto sent = SteadyClock::now();
    line.Send("e");
    const std::string got = line.ReadUntil("CMD>", 5000);
    const auto took = SteadyClock::now() - sent;
    ASSERT_TRUE(got.ends_with("CMD>")) << got;

    sim::Time came{};
    std::vector<sim::TrafficEntry> writes;
    for (const auto& e : rx.Traffic()) {
      if (e.dir == Direction::Rx) came = e.at;
      if (e.dir == Direction::Tx) writes.push_back(e);
    }
    if (!c.pacing) {
      ASSERT_EQ(writes.size(), 1u);
      EXPECT_EQ(writes[0].bytes, got);
      continue;
    }
    std::size_t before = 0;
    for (std::size_t k = 0; k < writes.size(); ++k) {
      if (k + 1 < writes.size()) {
        EXPECT_EQ(writes[k].bytes.size(), static_cast<std::size_t>(c.burst)) << "write " << k;
      } else {
        EXPECT_LE(writes[k].bytes.size(), static_cast<std::size_t>(c.burst));
      }
      EXPECT_GE(writes[k].at - came, sim::kByteTime * static_cast<long>(before)) << "write " << k;
      before += writes[k].bytes.size();
    }
    EXPECT_EQ(before, got.size());
    // At the far end too: the last chunk cannot have come any sooner.
    EXPECT_GE(took, sim::kByteTime * static_cast<long>(got.size() - writes.back().bytes.size()));
  }
}

TEST_F(LineTest, VanishClosesTheLineAndRemovesItsPortMapEntry) {
  for (const bool byFault : {true, false}) {
    SCOPED_TRACE(byFault ? "fault vanish mid-reply" : "on request");
    Receiver rx(Fast());
    rx.Start();
    Line line(Line::Resolve(rx.PortNumber()));
    ASSERT_TRUE(line.ok());
    const int port = rx.PortNumber();
    std::string got;
    if (byFault) {
      ASSERT_TRUE(LogIn(rx, line));
      rx.SetFault(Fault::Vanish);
      line.Send("e");
    } else {
      rx.Vanish();
    }
    while (line.ReadSome(got, 2000)) {
    }
    EXPECT_TRUE(line.HungUp());
    if (byFault) {
      EXPECT_FALSE(got.empty());
      EXPECT_EQ(got.find("CMD>"), std::string::npos);
    }
    EXPECT_TRUE(rx.WaitForState(State::Vanished, 2000));
    EXPECT_EQ(serial::PortMapEntries().count(port), 0u);   // gone like a pulled adapter
    EXPECT_EQ(rx.PortName(), "");
    rx.PressReset();   // nothing left to reset
    EXPECT_EQ(rx.CurrentState(), State::Vanished);
  }
}

// Paced, the read-back's reply goes out a chunk at a time, whole, and then
// the program's side logs in on the next receiver without another reset.
TEST_F(LineTest, AfterAWriteAndItsReadBackTheLineHasTheNextReceiver) {
  auto o = Fast();
  o.pacing = true;
  o.burst = 8;
  o.swapSerials = {4661};
  Receiver rx(o);
  rx.Start();
  Line line(Line::Resolve(rx.PortNumber()));
  ASSERT_TRUE(LogIn(rx, line));
  sim::ParamSet set = Receiver::DefaultParams();
  set[2] = 99;
  line.Send("z" + std::string(set.begin(), set.end()) + std::string(sim::kFrameSize - sim::kParamSize, '\xFF'));
  EXPECT_NE(line.ReadUntil("CMD>", 5000).find("ZAPS\xC1NO"), std::string::npos);
  line.Send("e");
  EXPECT_EQ(CutFields(line.ReadUntil("CMD>", 5000)), set);

  ASSERT_TRUE(rx.WaitFor([&] { return rx.Swaps() == 1; }, 5000));
  EXPECT_EQ(rx.CurrentState(), State::AwaitSpace);
  EXPECT_EQ(rx.SerialNumber(), 4661);
  ASSERT_TRUE(LogIn(rx, line, 'd', false));
  line.Send("e");
  set = Receiver::DefaultParams();
  set[5] = 53;   // 4661 = 18 * 256 + 53
  EXPECT_EQ(CutFields(line.ReadUntil("CMD>", 5000)), set);
  EXPECT_EQ(rx.Params(), set);
}

}  // namespace
