#include "ReceiverTest.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "writelog/WriteLog.h"

sim::Options ReceiverTest::Unpaced() {
  sim::Options o;
  o.pacing = false;
  return o;
}

std::string ReceiverTest::WriteLogText() {
  std::ifstream in(writelog::LogPath(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void ReceiverTest::StartLoggedIn(sim::Options options) {
  std::remove(writelog::LogPath().c_str());
  options.resetOnStart = true;
  receiver_ = std::make_unique<sim::Receiver>(options);
  receiver_->Start();
  formsCreated_ = true;
  const std::string failed = StartProgramLoggedIn(*receiver_);
  ASSERT_EQ(failed, "");
}

void ReceiverTest::TearDown() {
  if (formsCreated_) EndProgram();
  formsCreated_ = false;
  receiver_.reset();
}
