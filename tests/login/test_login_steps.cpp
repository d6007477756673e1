// The login's rules on a scripted line: what goes out, in which order, and
// when the login counts as done or failed.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "link/Login.h"

namespace {

// Records every step as a line of text; Sleep lets the "receiver" answer.
struct FakeLine {
  std::string received;
  std::vector<std::string> steps;
  std::function<void()> duringSleep;
  bool failSend = false;

  login::TLoginLine Line() {
    login::TLoginLine l;
    l.Send = [this](std::string_view t) {
      if (failSend) throw std::runtime_error("send failed");
      steps.push_back("send " + std::string(t));
    };
    l.Sleep = [this](int ms) {
      steps.push_back("sleep " + std::to_string(ms));
      if (duringSleep) duringSleep();
    };
    l.Received = [this](std::string_view t) { return received.find(t) != std::string::npos; };
    l.ClearReceived = [this] {
      steps.push_back("clear");
      received.clear();
    };
    l.StopPolling = [this] { steps.push_back("stop"); };
    return l;
  }
};

using Steps = std::vector<std::string>;

}  // namespace

TEST(LoginTick, WithoutThePasswordPromptSendsOneSpaceAndNothingElse) {
  FakeLine f;
  f.received = "noise PASSWO";  // not yet whole
  EXPECT_EQ(login::LoginTick(f.Line(), 100), login::TLoginTick::Polling);
  EXPECT_EQ(f.steps, (Steps{"send  "}));
  EXPECT_EQ(f.received, "noise PASSWO");  // kept for the next tick
}

TEST(LoginTick, PromptThenOperatorPromptSendsPasswordAndTheCodeAsOneByte) {
  FakeLine f;
  f.received = "\r\nPASSWORD:";
  f.duringSleep = [&] { f.received += "\r\nOP:"; };
  EXPECT_EQ(login::LoginTick(f.Line(), 100), login::TLoginTick::LoggedIn);
  EXPECT_EQ(f.steps, (Steps{"send  ", "stop", "send TREMO", "clear", "sleep 2000", "send d", "sleep 2000"}));
}

TEST(LoginTick, MissingOperatorPromptFailsWithoutSendingTheCodeOrWaitingAgain) {
  FakeLine f;
  f.received = "\r\nPASSWORD:";
  EXPECT_EQ(login::LoginTick(f.Line(), 100), login::TLoginTick::NoOperatorPrompt);
  EXPECT_EQ(f.steps, (Steps{"send  ", "stop", "send TREMO", "clear", "sleep 2000"}));
}

TEST(LoginTick, AnOperatorPromptFromBeforeThePasswordDoesNotCount) {
  // Cleared after the password: only what the receiver says to it counts.
  FakeLine f;
  f.received = "OP:\r\nPASSWORD:";
  EXPECT_EQ(login::LoginTick(f.Line(), 100), login::TLoginTick::NoOperatorPrompt);
}

TEST(LoginTick, AFailedSendEndsTheTickWhereItHappens) {
  FakeLine f;
  f.received = "\r\nPASSWORD:";
  f.failSend = true;
  EXPECT_THROW(login::LoginTick(f.Line(), 100), std::runtime_error);
  EXPECT_TRUE(f.steps.empty());
}

TEST(OperatorCode, OneToTwoHundredFiftyFourGoOutAsASingleRawByte) {
  EXPECT_FALSE(login::IsValidOperatorCode(0));
  EXPECT_TRUE(login::IsValidOperatorCode(1));
  EXPECT_TRUE(login::IsValidOperatorCode(254));
  EXPECT_FALSE(login::IsValidOperatorCode(255));
  EXPECT_FALSE(login::IsValidOperatorCode(-1));
  EXPECT_EQ(login::OperatorCodeText(100), std::string("\x64", 1));
  EXPECT_EQ(login::OperatorCodeText(254), std::string("\xFE", 1));
  EXPECT_EQ(login::OperatorCodeText(1), std::string("\x01", 1));
}
