#pragma once
// The program's windows with a simulated receiver on a pseudo-terminal,
// published in the test's own port map, the main window's port open on it
// and the receiver on its command line: logged in as the reset dialog would
// do it, with the receiver buttons enabled and the traffic log cleared.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "DialogTest.h"
#include "sim/Receiver.h"

class ReceiverTest : public ::testing::Test {
 protected:
  // A receiver that answers at once (no 9600-baud pacing).
  static sim::Options Unpaced();
  void StartLoggedIn(sim::Options options = Unpaced());
  void TearDown() override;

  sim::Receiver& Rx() { return *receiver_; }
  // The write log's records since StartLoggedIn, which empties it.
  static std::string WriteLogText();

 private:
  std::unique_ptr<sim::Receiver> receiver_;
  bool formsCreated_ = false;
};
