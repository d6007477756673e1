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
  std::vector<std::string> answers;  // what the receiver says in each sleep, in turn
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
      if (!answers.empty()) {
        received += answers.front();
        answers.erase(answers.begin());
      }
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

// After the code, only the command prompt that answers it completes the
// login; a carriage return gives a slow receiver a second chance.
TEST(LoginTick, TheOperatorCodeGoesOutAsOneByteAndOnlyThePromptAfterItCompletesTheLogin) {
  const Steps code{"send  ", "stop", "send TREMO", "clear", "sleep 2000", "clear", "send d", "sleep 2000"};
  const auto with = [&](Steps more) {
    Steps all = code;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  struct Case {
    const char* what;
    std::vector<std::string> answers;  // to the password, the code, the carriage return
    login::TLoginTick result;
    Steps steps;
  } cases[] = {
      {"prompt at once", {"\r\nOP:", "\r\nCMD>"}, login::TLoginTick::LoggedIn, code},
      {"prompt after the carriage return", {"\r\nOP:", "", "\r\nCMD>"}, login::TLoginTick::LoggedIn,
       with({"send \r", "sleep 1000"})},
      {"reset meanwhile", {"\r\nOP:", "", "\r\nPASSWORD:"}, login::TLoginTick::NotConfirmed,
       with({"send \r", "sleep 1000"})},
      {"a prompt before the code", {"\r\nOP:CMD>", "", ""}, login::TLoginTick::NotConfirmed,
       with({"send \r", "sleep 1000"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeLine f;
    f.received = "\r\nPASSWORD:";
    f.answers = c.answers;
    EXPECT_EQ(login::LoginTick(f.Line(), 100), c.result);
    EXPECT_EQ(f.steps, c.steps);
  }
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
