#include "ReceiverTest.h"

sim::Options ReceiverTest::Unpaced() {
  sim::Options o;
  o.pacing = false;
  return o;
}

void ReceiverTest::StartLoggedIn(sim::Options options) {
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
