#include "ReceiverTest.h"

#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/Channel.h"
#include "link/Login.h"
#include "serial/ComPort.h"

sim::Options ReceiverTest::Unpaced() {
  sim::Options o;
  o.pacing = false;
  return o;
}

void ReceiverTest::StartLoggedIn(sim::Options options) {
  options.resetOnStart = true;
  receiver_ = std::make_unique<sim::Receiver>(options);
  receiver_->Start();
  CreateForms();
  formsCreated_ = true;
  TComPort& port = Channel().Port();
  port.SetPort(receiver_->PortName());
  port.OpenPort();
  OperatorCode = login::kDefaultOperatorCode;
  RxText().Clear();
  Channel().Send(login::kPoll);
  ASSERT_TRUE(WaitUntil([] { return RxText().Contains(login::kPasswordPrompt); }));
  Channel().Send(login::kPassword);
  ASSERT_TRUE(WaitUntil([] { return RxText().Contains(login::kOperatorPrompt); }));
  Channel().Send(login::OperatorCodeText(OperatorCode));
  ASSERT_TRUE(WaitUntil([this] { return receiver_->CurrentState() == sim::State::Command && RxText().Contains("CMD>"); }));
  for (QWidget* b : {ZOV->Params, ZOV->Monitor, ZOV->Tim}) b->setEnabled(true);
  RxText().Clear();
  receiver_->ClearTraffic();
}

void ReceiverTest::TearDown() {
  if (formsCreated_) DestroyForms();
  formsCreated_ = false;
  receiver_.reset();
}
