// Every fault of the simulated receiver, seen from the program's end of the line.
#include <algorithm>

#include "SimTestSupport.h"

namespace {

using namespace simtest;
using sim::Direction;
using sim::Fault;
using sim::Receiver;
using sim::State;

class FaultTest : public PortMapFixture {
 protected:
  void Open(sim::Options o) {
    rx_ = std::make_unique<Receiver>(std::move(o));
    rx_->Start();
    line_ = std::make_unique<Line>(Line::Resolve(rx_->PortNumber()));
    ASSERT_TRUE(line_->ok());
  }
  static sim::Options With(Fault f) {
    auto o = Fast();
    o.faults = {f};
    return o;
  }
  // The sent writes, in order.
  std::vector<sim::TrafficEntry> Writes() const {
    std::vector<sim::TrafficEntry> w;
    for (auto& e : rx_->Traffic())
      if (e.dir == Direction::Tx) w.push_back(e);
    return w;
  }
  std::unique_ptr<Receiver> rx_;
  std::unique_ptr<Line> line_;
};

TEST(FaultNames, RoundTripAndAreDocumented) {
  std::set<std::string> names;
  for (Fault f : sim::AllFaults()) {
    const std::string name(sim::FaultName(f));
    EXPECT_EQ(sim::FaultFromName(name), f);
    EXPECT_FALSE(sim::FaultDescription(f).empty());
    names.insert(name);
  }
  EXPECT_EQ(names.size(), sim::AllFaults().size());
  EXPECT_FALSE(sim::FaultFromName("Silent").has_value());
  EXPECT_FALSE(sim::FaultFromName("").has_value());
}

TEST_F(FaultTest, SilentAnswersNothingButKeepsReadingAndLogging) {
  Open(With(Fault::Silent));
  rx_->PressReset();
  line_->Send(" ");
  line_->Send("TREMOd\re");
  EXPECT_EQ(line_->ReadQuiet(300), "");
  EXPECT_EQ(rx_->SentText(), "");
  EXPECT_EQ(rx_->ReceivedText(), " TREMOd\re");
  EXPECT_EQ(rx_->CurrentState(), State::Command);   // it listened all along
  // Switched off at run time, it answers again.
  rx_->SetFault(Fault::Silent, false);
  EXPECT_TRUE(rx_->Faults().empty());
  line_->Send("\r");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
}

TEST_F(FaultTest, NoOpTakesThePasswordWithoutTheOperatorPrompt) {
  Open(With(Fault::NoOp));
  rx_->PressReset();
  line_->Send(" ");
  ASSERT_NE(line_->ReadUntil("WORD:", 2000).find("WORD:"), std::string::npos);
  line_->Send("TREMO");
  EXPECT_EQ(line_->ReadQuiet(300), "");
  EXPECT_EQ(rx_->CurrentState(), State::Operator);
  line_->Send("d");
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
  EXPECT_EQ(rx_->OperatorCode(), 100);
}

TEST_F(FaultTest, NoCmdPromptAnswersTheCarriageReturnWithoutPrompt) {
  Open(With(Fault::NoCmdPrompt));
  ASSERT_TRUE(LogIn(*rx_, *line_));
  line_->Send("\r");
  EXPECT_EQ(line_->ReadQuiet(300), "\r\n");
  line_->Send("e");   // the other replies keep theirs
  EXPECT_NE(line_->ReadUntil("CMD>", 2000).find("CMD>"), std::string::npos);
}

TEST_F(FaultTest, CutReplyStopsReadOutsHalfway) {
  Open(With(Fault::CutReply));
  ASSERT_TRUE(LogIn(*rx_, *line_));
  for (const char* cmd : {"e", "t", "m"}) {
    line_->Send(cmd);
    const std::string got = line_->ReadQuiet(300);
    EXPECT_FALSE(got.empty()) << cmd;
    EXPECT_EQ(got.find("CMD>"), std::string::npos) << cmd;
  }
  line_->Send("e");
  EXPECT_LT(line_->ReadQuiet(300).size(), 72u * 4 / 2 + 20);
  line_->Send("\r");   // the prompt itself still comes
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
  EXPECT_EQ(rx_->CurrentState(), State::Command);
}

TEST_F(FaultTest, GarbageAndNulBytesLeaveTheCutValuesIntact) {
  Open(With(Fault::Garbage));
  ASSERT_TRUE(LogIn(*rx_, *line_));
  line_->Send("e");
  const std::string e = line_->ReadUntil("CMD>", 2000);
  EXPECT_NE(e.find('\0'), std::string::npos);
  EXPECT_NE(static_cast<unsigned char>(e[0]), 'P');   // noise ahead of the reply
  EXPECT_EQ(CutFields(WithoutNul(e)), rx_->Params());

  rx_->SetClock({4, 9, 10, 2025, 13, 14, 15});
  line_->Send("t");
  const std::string t = WithoutNul(line_->ReadUntil("CMD>", 2000));
  const std::string first = FirstLine(t);
  const std::size_t colon = first.find(':');
  ASSERT_NE(colon, std::string::npos);
  EXPECT_EQ(first.substr(colon, 20), ": 4 09.10.25 13:14:1");
  // Noise never carries a line break, a comma or a colon.
  const std::string noise = first.substr(0, first.find("HODINY"));
  EXPECT_FALSE(noise.empty());
  EXPECT_EQ(noise.find_first_of("\r\n,:"), std::string::npos);
}

TEST_F(FaultTest, SplitSendsRepliesInManySmallWrites) {
  Open(With(Fault::Split));
  ASSERT_TRUE(LogIn(*rx_, *line_));
  line_->Send("e");
  std::string got;
  int reads = 0;
  while (WithoutNul(got).find("CMD>") == std::string::npos && line_->ReadSome(got, 2000)) ++reads;
  EXPECT_EQ(CutFields(got), rx_->Params());
  EXPECT_GT(reads, 5);

  const auto w = Writes();
  bool wordSplit = false, crLfSplit = false;
  for (std::size_t i = 0; i + 1 < w.size(); ++i) {
    const std::string& a = w[i].bytes;
    const std::string& b = w[i + 1].bytes;
    if (a.size() >= 2 && a.compare(a.size() - 2, 2, "WO") == 0 && b.rfind("RD:", 0) == 0) wordSplit = true;
    if (!a.empty() && a.back() == '\r' && b.rfind("\n", 0) == 0) {
      crLfSplit = true;
      EXPECT_GE(w[i + 1].ms - w[i].ms, 5.0);   // a pause between the two writes
    }
  }
  EXPECT_TRUE(wordSplit);
  EXPECT_TRUE(crLfSplit);
}

TEST_F(FaultTest, SlowDelaysEveryReply) {
  auto o = With(Fault::Slow);
  o.slowDelayMs = 400;
  Open(o);
  rx_->PressReset();
  line_->Send(" ");
  EXPECT_EQ(line_->ReadQuiet(250), "");
  EXPECT_NE(line_->ReadUntil("WORD:", 2000).find("WORD:"), std::string::npos);
  const auto rxBytes = rx_->ReceivedBytes();
  const auto w = Writes();
  ASSERT_FALSE(rxBytes.empty());
  ASSERT_FALSE(w.empty());
  EXPECT_GE(w.front().ms - rxBytes.front().ms, 390.0);
}

TEST_F(FaultTest, MonitorLateSendsTheClosingPromptAfterAPause) {
  auto o = With(Fault::MonitorLate);
  o.monitorLateMs = 400;
  Open(o);
  ASSERT_TRUE(LogIn(*rx_, *line_));
  rx_->ClearTraffic();
  line_->Send("m");
  const std::string got = line_->ReadUntil("CMD>", 2000);
  ASSERT_NE(got.find("CMD>"), std::string::npos);
  const auto w = Writes();
  ASSERT_GE(w.size(), 2u);
  EXPECT_EQ(w.back().bytes, "CMD>");
  EXPECT_GE(w.back().ms - w[w.size() - 2].ms, 390.0);
  EXPECT_EQ(got.find("CMD>"), got.size() - 4);
}

TEST_F(FaultTest, MonitorNoEndNeverSendsTheClosingPrompt) {
  Open(With(Fault::MonitorNoEnd));
  ASSERT_TRUE(LogIn(*rx_, *line_));
  line_->Send("m");
  const std::string got = line_->ReadQuiet(300);
  EXPECT_EQ(got.find("CMD>"), std::string::npos);
  const std::string last = rx_->MonitorLines().back() + "\r\n";
  ASSERT_GE(got.size(), last.size());
  EXPECT_EQ(got.substr(got.size() - last.size()), last);
  line_->Send("\r");   // still on its command line
  EXPECT_EQ(line_->ReadUntil("CMD>", 2000), "\r\nCMD>");
}

TEST_F(FaultTest, VanishClosesTheLineInTheMiddleOfAReply) {
  Open(Fast());
  ASSERT_TRUE(LogIn(*rx_, *line_));
  const int port = rx_->PortNumber();
  rx_->SetFault(Fault::Vanish);
  line_->Send("e");
  std::string got;
  while (line_->ReadSome(got, 2000)) {
  }
  EXPECT_TRUE(line_->HungUp());
  EXPECT_FALSE(got.empty());
  EXPECT_EQ(got.find("CMD>"), std::string::npos);
  EXPECT_TRUE(rx_->WaitForState(State::Vanished, 2000));
  EXPECT_EQ(serial::PortMapEntries().count(port), 0u);   // gone like a pulled adapter
  EXPECT_EQ(rx_->PortName(), "");
  rx_->PressReset();   // nothing left to reset
  EXPECT_EQ(rx_->CurrentState(), State::Vanished);
}

TEST_F(FaultTest, VanishOnRequestAndFaultsGivenAtStart) {
  auto o = Fast();
  o.faults = {Fault::NoCmdPrompt, Fault::Garbage};
  o.resetOnStart = true;
  Open(o);
  EXPECT_EQ(rx_->Faults(), (std::set<Fault>{Fault::NoCmdPrompt, Fault::Garbage}));
  EXPECT_EQ(rx_->CurrentState(), State::AwaitSpace);
  rx_->ClearFaults();
  EXPECT_TRUE(rx_->Faults().empty());
  rx_->Vanish();
  EXPECT_TRUE(rx_->WaitForState(State::Vanished, 2000));
  std::string got;
  EXPECT_FALSE(line_->ReadSome(got, 1000));
  EXPECT_TRUE(line_->HungUp());
}

}  // namespace
