// The port's threads on a real line (pseudo-terminal), without Qt's event
// loop (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "GuiQueue.h"
#include "PtyHelper.h"
#include "Watchdog.h"
#include "serial/ComPort.h"
#include "portmap/PortMap.h"

using namespace std::chrono_literals;

namespace {

class PtyThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    serial::PublishPort(5, pty.SlavePath());
    port.SetPort("COM5");
    port.SetDiscardNull(true);
    port.SetEvents({evRxChar, evRing});
  }
  TempConfigHome home;
  TestPty pty;
  TComPort port;
};

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 23);
  return s;
}

}  // namespace

TEST_F(PtyThreads, NoneDeliversAFloodCompleteAndInOrderOnTheEventThread) {
  Watchdog dog("pty none flood", 60s);
  port.SetSyncMethod(smNone);
  std::mutex m;
  std::string got;
  port.OnRxChar = [&](QObject*, int n) {
    std::string s;
    port.ReceiveText(s, n);
    std::lock_guard l(m);
    got += s;
  };
  port.OpenPort();
  const std::string data = Pattern(256 * 1024);
  std::thread far([&] {
    for (size_t i = 0; i < data.size(); i += 1000) pty.WriteAll(data.substr(i, 1000));
  });
  far.join();
  for (int i = 0; i < 30000; ++i) {
    {
      std::lock_guard l(m);
      if (got.size() >= data.size()) break;
    }
    std::this_thread::sleep_for(1ms);
  }
  port.ClosePort();
  std::lock_guard l(m);
  EXPECT_TRUE(got == data) << got.size() << " of " << data.size();
}

TEST_F(PtyThreads, ThreadSyncOnAPlainGuiThreadSurvivesOpenCloseCyclesUnderAFlood) {
  Watchdog dog("pty thread sync cycles", 60s);
  GuiQueue gui;
  port.SetGuiPoster(gui.Poster());
  bool closed = false, late = false;
  port.OnRxChar = [&](QObject*, int n) {
    if (closed) late = true;
    std::string s;
    port.ReceiveText(s, n);
  };
  std::atomic<bool> stop = false;
  std::thread far([&] {
    // A steady stream (about 0.5 MB/s): under ThreadSanitizer an unpaced
    // flood outruns the event wait's draining of the line.
    const std::string chunk(512, 'z');
    while (!stop) {
      pty.WriteSome(chunk);
      std::this_thread::sleep_for(1ms);
    }
  });
  for (int i = 0; i < 100; ++i) {
    closed = false;
    port.OpenPort();
    gui.RunOne(1);
    port.ClosePort();
    closed = true;
    gui.RunAll();
  }
  stop = true;
  far.join();
  EXPECT_FALSE(late);
}
