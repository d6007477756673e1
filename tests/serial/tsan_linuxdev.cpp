// The Linux device layer across threads, as the component uses it: one
// thread waits for events while another reads, writes, purges or cancels.
// Built into the ThreadSanitizer run too.
#include "CpuTime.h"
#include "LinuxDevPty.h"

#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

using namespace linuxdev_test;

class LinuxDevThreadsTest : public LinuxDevTest {};

TEST_F(LinuxDevThreadsTest, WriteIsBoundedByItsTimeoutAndEndedByAbort) {
  // The far side never reads: the pty buffer fills and the write must end.
  std::string big(1 << 20, 'w');
  dev_->SetCommTimeouts({kMaxDword, 0, 0, 0, 300});
  // No upper bound on the time: a write that ignored its timeout would
  // never end, and the watchdog would say so.
  auto t0 = Clock::now();
  uint32_t n = dev_->Write(big.data(), big.size());
  auto took = Clock::now() - t0;
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_GE(took, 300ms);

  // Without a limit only an abort ends it.
  dev_->SetCommTimeouts({kMaxDword, 0, 0, 0, 0});
  auto w = std::async(std::launch::async, [&] { return dev_->Write(big.data(), big.size()); });
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  dev_->PurgeComm(purge::TXABORT);
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_LT(w.get(), big.size());
}

TEST_F(LinuxDevThreadsTest, CancelWaitAndEmptyMaskEndABlockedWaitAtOnce) {
  dev_->SetCommMask(ev::RXCHAR | ev::RING);
  auto w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  dev_->CancelWait();
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), 0);

  w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  dev_->SetCommMask(0);
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), 0);
  EXPECT_EQ(dev_->WaitCommEvent(), 0u);  // and so does the next while the mask stays empty

  // A cancel with no wait pending ends the next wait, and only that one.
  dev_->SetCommMask(ev::RXCHAR);
  dev_->CancelWait();
  EXPECT_EQ(dev_->WaitCommEvent(), 0u);
  w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  Send("a");
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), long{ev::RXCHAR});
}

TEST_F(LinuxDevThreadsTest, FarSideVanishingEndsEveryWaitWithoutSpinning) {
  dev_->SetCommMask(ev::RXCHAR | ev::RING);
  auto w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(100ms), std::future_status::timeout);
  ::close(master_);
  master_ = -1;
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), -1117);
  w = WaitAsync(*dev_);  // a second wait fails at once too, it does not block or loop
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), -1117);
  char c;
  EXPECT_EQ(CodeOf([&] { dev_->Read(&c, 1); }), 1117);
  EXPECT_EQ(CodeOf([&] { dev_->Write("x", 1); }), 1117);
  // Closing still works: aborting and emptying a vanished device is no failure.
  EXPECT_NO_THROW(dev_->PurgeComm(purge::TXABORT | purge::RXABORT));
  EXPECT_NO_THROW(dev_->PurgeComm(purge::TXCLEAR | purge::RXCLEAR));
}

TEST_F(LinuxDevThreadsTest, PurgeEmptiesTheInputAndAbortsAPendingRead) {
  dev_->SetCommMask(ev::RXCHAR);
  Send("0123456789");
  EXPECT_EQ(dev_->WaitCommEvent(), ev::RXCHAR);
  EXPECT_EQ(dev_->ClearCommError().InQue, 10u);
  dev_->PurgeComm(purge::RXCLEAR | purge::TXCLEAR);
  EXPECT_EQ(dev_->ClearCommError().InQue, 0u);
  char buf[10];
  EXPECT_EQ(dev_->Read(buf, 10), 0u);

  dev_->SetCommTimeouts({0, 0, 0, 0, 0});  // a read that waits for all 10
  auto r = std::async(std::launch::async, [&] { return dev_->Read(buf, 10); });
  EXPECT_EQ(r.wait_for(100ms), std::future_status::timeout);
  dev_->PurgeComm(purge::RXABORT);
  ASSERT_EQ(r.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(r.get(), 0u);
}

// With input flow control the own queue stops at its size and leaves the
// rest in the kernel (which then holds the sender off); the wait must then
// sleep, not spin, and nothing may be lost.
TEST_F(LinuxDevThreadsTest, FlowControlledQueueStopsAtItsSizeWithoutSpinning) {
  TDCB d = ProgramDcb();
  d.Flags |= dcb::fInX;
  dev_->SetCommState(d);
  dev_->SetupComm(100, 100);
  dev_->SetCommMask(ev::RXCHAR);
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>('a' + i % 26);
  Send(data);
  EXPECT_EQ(dev_->WaitCommEvent(), ev::RXCHAR);
  // The rest reaches the kernel's queue: the count takes it in.
  const auto deadline = Clock::now() + 5s;
  while (dev_->ClearCommError().InQue < 300u && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(dev_->ClearCommError().InQue, 300u);
  const double cpu0 = CpuSeconds();
  auto w = WaitAsync(*dev_);
  EXPECT_EQ(w.wait_for(200ms), std::future_status::timeout);
  EXPECT_LT(CpuSeconds() - cpu0, 0.1);
  EXPECT_EQ(ReadBlocking(300), data);
  dev_->CancelWait();
  ASSERT_EQ(w.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(w.get(), 0);
}

// The event thread waits while another thread reads, as the component does:
// a flood with NULs arrives complete, in order and without the NULs.
TEST_F(LinuxDevThreadsTest, FloodArrivesCompleteInOrderWhileWaitAndReadsOverlap) {
  std::string sent, expected;
  for (int i = 0; i < 256 * 1024; ++i) {
    char c = i % 7 == 0 ? '\0' : static_cast<char>('a' + i % 23);
    sent += c;
    if (c) expected += c;
  }
  dev_->SetCommMask(ev::RXCHAR);
  std::mutex m;
  std::condition_variable cv;
  int notifications = 0;
  std::thread waiter([&] {
    while (dev_->WaitCommEvent() != 0) {
      std::lock_guard lk(m);
      ++notifications;
      cv.notify_one();
    }
  });
  std::thread farSide([&] {
    for (size_t off = 0; off < sent.size();) {
      ssize_t n = ::write(master_, sent.data() + off, std::min<size_t>(4096, sent.size() - off));
      if (n > 0) off += n;
    }
  });
  std::string got;
  const auto deadline = Clock::now() + 20s;
  while (got.size() < expected.size() && Clock::now() < deadline) {
    {
      std::unique_lock lk(m);
      cv.wait_for(lk, 50ms, [&] { return notifications > 0; });
      notifications = 0;
    }
    uint32_t queued = dev_->ClearCommError().InQue;
    std::string chunk(queued + 512, '\0');
    uint32_t n = dev_->Read(chunk.data(), chunk.size());
    EXPECT_GE(n, queued);  // what was announced is there to read
    got.append(chunk.data(), n);
  }
  farSide.join();
  dev_->CancelWait();
  waiter.join();
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

}  // namespace
