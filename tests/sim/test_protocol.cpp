// The simulated receiver's side of the protocol, driven through its pty with
// plain reads and writes, as the program's serial port would.
#include <algorithm>

#include "SimTestSupport.h"

namespace {

using namespace simtest;
using sim::Receiver;
using sim::State;

class ProtocolTest : public PortMapFixture {
 protected:
  void Open(sim::Options o = Fast()) {
    rx_ = std::make_unique<Receiver>(std::move(o));
    rx_->Start();
    line_ = std::make_unique<Line>(Line::Resolve(rx_->PortNumber()));
    ASSERT_TRUE(line_->ok());
  }
  std::unique_ptr<Receiver> rx_;
  std::unique_ptr<Line> line_;
};

TEST_F(ProtocolTest, IgnoresTheLineUntilResetThenLogsIn) {
  auto o = Fast();
  o.passwordIdleMs = 150;
  Open(o);
  EXPECT_EQ(rx_->CurrentState(), State::BeforeReset);
  line_->Send("  \rTREMOe");
  EXPECT_EQ(line_->ReadQuiet(200), "");
  EXPECT_EQ(rx_->ReceivedText(), "  \rTREMOe");   // logged all the same

  rx_->PressReset();
  line_->Send(" ");
  EXPECT_EQ(line_->ReadUntil("WORD:", 2000), "\r\nPASSWORD:");
  // More polling spaces and a wrong password: back to the prompt.
  line_->Send("  TREMA");
  EXPECT_EQ(line_->ReadUntil("WORD:", 2000), "\r\nCHYBN\xC9 HESLO\r\nPASSWORD:");
  // A partial password left standing is dropped after a pause.
  line_->Send("TR");
  std::this_thread::sleep_for(Ms(300));
  line_->Send(" TREMO");
  EXPECT_EQ(line_->ReadUntil("OP:", 2000), "\r\nOP:");
  EXPECT_EQ(rx_->CurrentState(), State::Operator);
  line_->Send("d");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
  EXPECT_EQ(rx_->OperatorCode(), 100);
  EXPECT_EQ(rx_->CurrentState(), State::Command);

  line_->Send("\r");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
  line_->Send("x");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\n?\r\nCMD>");

  // A second reset logs out: the command line is gone until a new login.
  rx_->PressReset();
  line_->Send("e");
  EXPECT_EQ(line_->ReadQuiet(200), "");
  EXPECT_TRUE(LogIn(*rx_, *line_, '\x01'));
  EXPECT_EQ(rx_->OperatorCode(), 1);
}

TEST_F(ProtocolTest, ParameterSetReadsOutAsTheProgramCutsIt) {
  Open();
  ASSERT_TRUE(LogIn(*rx_, *line_));
  line_->Send("e");
  const std::string reply = line_->ReadUntil("CMD>", 2000);
  ASSERT_NE(reply.find("CMD>"), std::string::npos);
  // Nothing but digits and commas between the first field and the prompt.
  const std::size_t first = reply.find(',') - 3;
  const std::size_t end = reply.find("\r\nCMD>");
  EXPECT_EQ(end - first, 72 * 4 - 1u);
  EXPECT_EQ(reply.find_first_not_of("0123456789,", first), end);
  EXPECT_EQ(CutFields(reply), rx_->Params());

  // The default set is a plausible receiver's.
  const auto p = Receiver::DefaultParams();
  EXPECT_EQ(p[0], 0x55);
  EXPECT_EQ(p[1], 0xAA);
  EXPECT_EQ(p[2], 180);
  EXPECT_EQ(p[16] * 65536 + p[17] * 256 + p[18], 543001);
  EXPECT_NE(p[7], 0);
  EXPECT_TRUE(std::all_of(p.begin() + 40, p.end(), [](int v) { return v >= 1 && v <= 5; }));

  sim::ParamSet q{};
  for (int i = 0; i < sim::kParamSize; ++i) q[i] = static_cast<std::uint8_t>(255 - i);
  rx_->SetParams(q);
  line_->Send("e");
  EXPECT_EQ(CutFields(line_->ReadUntil("CMD>", 2000)), q);
}

std::string Frame(const sim::ParamSet& p, std::uint8_t fill = 0xFF) {
  std::string f(reinterpret_cast<const char*>(p.data()), p.size());
  f.append(sim::kFrameSize - sim::kParamSize, static_cast<char>(fill));
  return f;
}

TEST_F(ProtocolTest, FrameWriteStoresGoodFramesAndRefusesBadOnes) {
  auto o = Fast();
  o.frameTimeoutMs = 300;
  Open(o);
  ASSERT_TRUE(LogIn(*rx_, *line_));

  sim::ParamSet p = Receiver::DefaultParams();
  p[2] = 77;
  p[3] = 0;
  p[7] = 0;
  // A frame whose bytes include CR, 'e' and NUL must not be taken as commands.
  p[14] = '\r';
  p[15] = 'e';
  p[19] = 0;
  line_->Send("z");
  line_->Send(Frame(p));
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("ZAPS\xC1NO"), std::string::npos);
  EXPECT_EQ(rx_->Params(), p);
  EXPECT_EQ(rx_->FramesAccepted(), 1);

  // Without 0x55 0xAA in front: refused, the set untouched.
  sim::ParamSet bad = p;
  bad[0] = 0;
  bad[2] = 99;
  line_->Send("z" + Frame(bad));
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("CHYBA Z\xC1PISU"), std::string::npos);
  EXPECT_EQ(rx_->Params(), p);

  // Cut short: 40 bytes, then silence longer than the frame timeout.
  line_->Send("z" + Frame(bad).substr(0, 40));
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("CHYBA Z\xC1PISU"), std::string::npos);
  EXPECT_EQ(rx_->Params(), p);
  EXPECT_EQ(rx_->FramesRefused(), 2);
  EXPECT_EQ(rx_->CurrentState(), State::Command);
  const auto notes = rx_->Notes();
  EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](auto& n) { return n.find("00 AA") != n.npos; }));
  EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](auto& n) { return n.find("40 of 128") != n.npos; }));

  // A "z" with nothing after it is refused too, and the line works on.
  line_->Send("z");
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("CHYBA"), std::string::npos);
  line_->Send("\r");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
}

// The clock line, cut at the program's offsets from the line's first colon.
struct CutClock {
  std::string dow, day, month, year, hour, minute, second;
};
CutClock CutClockLine(const std::string& line) {
  const std::size_t p = line.find(':') + 1;   // 1-based position of the colon
  auto at = [&](std::size_t pos, std::size_t n) { return line.substr(pos - 1, n); };
  return {at(p + 2, 1), at(p + 4, 2), at(p + 7, 2), at(p + 10, 2), at(p + 13, 2), at(p + 16, 2), at(p + 19, 2)};
}

TEST_F(ProtocolTest, ClockReadsAtTheProgramsOffsetsAndRunsOverMidnight) {
  Open();
  ASSERT_TRUE(LogIn(*rx_, *line_));
  rx_->SetClock({3, 7, 12, 2026, 23, 29, 7});
  line_->Send("t");
  const std::string reply = line_->ReadUntil("CMD>", 2000);
  ASSERT_NE(reply.find("\r\nCMD>"), std::string::npos);
  const std::string first = FirstLine(reply);
  const CutClock c = CutClockLine(first);
  EXPECT_EQ(c.dow, "3");
  EXPECT_EQ(c.day + "." + c.month + ".20" + c.year, "07.12.2026");
  EXPECT_EQ(c.hour + ":" + c.minute + ":" + c.second.substr(0, 1), "23:29:0");

  // Saturday 23:59:59 runs into Sunday (0) and the next month.
  rx_->SetClock({6, 31, 1, 2026, 23, 59, 59});
  std::this_thread::sleep_for(Ms(1100));
  line_->Send("t");
  const CutClock d = CutClockLine(FirstLine(line_->ReadUntil("CMD>", 2000)));
  EXPECT_EQ(d.dow, "0");
  EXPECT_EQ(d.day + "." + d.month + "." + d.year, "01.02.26");
  EXPECT_EQ(d.hour + ":" + d.minute, "00:00");
}

TEST_F(ProtocolTest, ClockSetTakesSevenFieldsEndedByPausesOrSeparators) {
  auto o = Fast();
  o.fieldGapMs = 80;
  o.clockTimeoutMs = 400;
  Open(o);
  ASSERT_TRUE(LogIn(*rx_, *line_));

  // As the program sends them: "s", then each field followed by a pause.
  line_->Send("s");
  for (const char* f : {"06", "05", "03", "00", "08", "07", "06"}) {
    line_->Send(f);
    std::this_thread::sleep_for(Ms(150));
  }
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("OK"), std::string::npos);
  const sim::ClockTime t = rx_->Clock();
  EXPECT_EQ(t.dayOfWeek, 6);
  EXPECT_EQ(t.day, 5);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.year, 2000);
  EXPECT_EQ(t.hour, 8);
  EXPECT_EQ(t.minute, 7);
  EXPECT_LE(t.second, 7);

  // Separators end fields as well; a month of 13 refuses the lot.
  line_->Send("s3,05,13,31,08,07,06\r");
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("CHYBA"), std::string::npos);
  EXPECT_EQ(rx_->Clock().month, 3);

  // Four fields, then nothing: abandoned after the timeout.
  line_->Send("s1 02 03 04 ");
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("CHYBA"), std::string::npos);
  EXPECT_EQ(rx_->CurrentState(), State::Command);
  EXPECT_EQ(rx_->Clock().day, 5);
}

TEST_F(ProtocolTest, MonitorSendsFirstLineEventsAndClosingPromptAndClears) {
  Open();
  ASSERT_TRUE(LogIn(*rx_, *line_));
  line_->Send("m");
  const std::string reply = line_->ReadUntil("CMD>", 3000);
  ASSERT_GE(reply.size(), 4u);
  EXPECT_EQ(reply.substr(reply.size() - 6), "\r\nCMD>");
  EXPECT_EQ(reply.find("CMD>"), reply.size() - 4);   // no earlier prompt
  // Between the first line and the last: exactly the monitor's lines.
  const std::size_t body = reply.find("\r\n") + 2;
  std::string expected;
  for (const auto& l : rx_->MonitorLines()) expected += l + "\r\n";
  EXPECT_EQ(reply.substr(body, reply.size() - 4 - body), expected);
  EXPECT_EQ(rx_->MonitorLines().size(), 20u);
  // Czech text in code page 1250.
  EXPECT_NE(reply.find("Poplach sir\xE9ny"), std::string::npos);
  EXPECT_EQ(sim::ToCp1250("Poplach sirény, Požární, Ztráta"), "Poplach sir\xE9ny, Po\x9E\xE1rn\xED, Ztr\xE1ta");
  EXPECT_EQ(sim::FromCp1250("Po\x9E\xE1r"), "Požár");

  line_->Send("n");
  line_->ReadUntil("CMD>", 2000);
  EXPECT_TRUE(rx_->MonitorLines().empty());
  line_->Send("m");
  const std::string empty = line_->ReadUntil("CMD>", 2000);
  EXPECT_EQ(empty.substr(empty.find("\r\n")), "\r\nCMD>");
}

TEST_F(ProtocolTest, ScriptedRepliesStandInForTheReceiversOwn) {
  Open();
  ASSERT_TRUE(LogIn(*rx_, *line_));
  // An earlier colon in the clock line, for the program's edge cases.
  rx_->SetCustomReply('t', std::string("12:00 HODINY: 3 07.12.26 23:29:07\r\nCMD>"));
  line_->Send("t");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "12:00 HODINY: 3 07.12.26 23:29:07\r\nCMD>");
  rx_->SetCustomReply('n', std::string("\r\nCMD>"));
  line_->Send("n");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
  EXPECT_TRUE(rx_->MonitorLines().empty());   // cleared all the same
  rx_->SetCustomReply('t', std::nullopt);
  line_->Send("t");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000).rfind("HODINY: ", 0), 0u);
}

TEST_F(ProtocolTest, DefaultMonitorTakesAboutThirtySecondsAtNineThousandSixHundredBaud) {
  std::size_t bytes = 0;
  for (const auto& l : Receiver::DefaultMonitor(sim::Options{}.monitorLines)) {
    bytes += l.size() + 2;
    EXPECT_EQ(l.find("CMD>"), std::string::npos);
    EXPECT_LT(l.size(), 60u);   // never wrapped by the program's memo
  }
  const double seconds = bytes * 10 / 9600.0;
  EXPECT_GT(seconds, 27);
  EXPECT_LT(seconds, 33);
}

}  // namespace
