#pragma once
// The program's windows with simulated receivers on pseudo-terminals,
// published as COM1, COM2... in the test's own port map, and recorders for
// what the login does to the main window and the port.
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DialogTest.h"
#include "app/Forms.h"
#include "sim/Receiver.h"

// Records the names of watched widgets as they become enabled, and whether
// a watched window was ever shown.
class Watcher : public QObject {
 public:
  void WatchEnabling(QWidget* w, std::string name);
  void WatchShown(QWidget* w);
  std::vector<std::string> enabled;
  std::set<QWidget*> shown;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  std::vector<std::pair<QWidget*, std::string>> names_;
};

class LoginTest : public ::testing::Test {
 protected:
  // Starts count receivers (COM1.. in order, as the map is empty), then
  // the windows, so the port selector lists them; the main window's port
  // is the first receiver's.
  void Start(int count = 1, std::set<sim::Fault> faults = {});
  void TearDown() override;

  sim::Receiver& Rx(int i = 0) { return *receivers_[static_cast<std::size_t>(i)]; }
  // Spaces the receiver has had from the program.
  int Spaces(int i = 0);

  std::vector<std::unique_ptr<sim::Receiver>> receivers_;
  Watcher watcher;
  // "open COMn" / "close" as ComPort1 opens and closes.
  std::vector<std::string> portEvents;
  bool formsCreated_ = false;
};
