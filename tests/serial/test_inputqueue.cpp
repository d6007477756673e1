// The device layer's input queue on its own: the 80 % event, the room it
// leaves for the kernel's bytes, and bytes coming out as they went in.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "serial/InputQueue.h"

namespace {

// Steps as "P80" (push 80 bytes), "T11" (take 11), "S60" (set size 60) or
// "C" (clear); a "!" after a step: it raises the 80 % event.
struct Rx80Case {
  const char* what;
  uint32_t size;
  const char* steps;
};

const Rx80Case kRx80Cases[] = {
    {"past 80 % is more than 80 of 100", 100, "P80 P1!"},
    {"once until it has been at 80 % or below", 100, "P81! P10 T11 P1! T2 P1 P1!"},
    {"taking down to 81 keeps it past", 100, "P90! T9 P5"},
    {"a size set below what is queued", 100, "P50 S60! S0"},
    {"size 0 keeps 4096", 100, "S0 P3276 P1!"},
    {"a purge starts it over", 100, "P90! C P90!"},
    {"far past it in one push", 10, "P100!"},
};

TEST(InputQueue, RaisesTheEightyPercentEventWhenTheQueuePassesItAndOnlyThen) {
  for (const Rx80Case& c : kRx80Cases) {
    SCOPED_TRACE(c.what);
    TInputQueue q;
    q.SetSize(c.size);
    std::istringstream steps(c.steps);
    std::string step;
    char out[4096];
    while (steps >> step) {
      const bool expected = step.back() == '!';
      const size_t n = step.size() > 1 ? std::stoul(step.substr(1)) : 0;
      bool raised = false;
      switch (step[0]) {
        case 'P': raised = q.Push(std::string(n, 'x')); break;
        case 'S': raised = q.SetSize(static_cast<uint32_t>(n)); break;
        case 'T': ASSERT_EQ(q.Take(out, n).count, n) << step; break;
        case 'C': q.Clear(); break;
        default: FAIL() << step;
      }
      EXPECT_EQ(raised, expected) << step;
    }
  }
}

TEST(InputQueue, LeavesTheKernelsBytesWhereTheyAreOnlyUnderFlowControl) {
  struct Case {
    const char* what;
    bool flowControlled;
    size_t queued, wanted;
    size_t room, intake;
    bool takesInput;
  };
  const Case cases[] = {
      {"no flow control: grows past its size", false, 150, 0, 0, SIZE_MAX, true},
      {"flow control: what fits", true, 30, 0, 70, 70, true},
      {"flow control, full: nothing", true, 100, 0, 0, 0, false},
      {"flow control, full: a reader still gets what it asks for", true, 100, 10, 0, 10, false},
      {"a reader wanting more than fits", true, 30, 200, 70, 200, true},
      {"past its size after such a read", true, 120, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TInputQueue q;
    q.SetSize(100);
    q.SetFlowControlled(c.flowControlled);
    q.Push(std::string(c.queued, 'x'));
    EXPECT_EQ(q.Count(), c.queued);
    EXPECT_EQ(q.Room(), c.room);
    EXPECT_EQ(q.Intake(c.wanted), c.intake);
    EXPECT_EQ(q.TakesInput(), c.takesInput);
  }
}

TEST(InputQueue, GivesTheBytesBackInOrderAndSaysWhenItIsEmptyOrHasRoomAgain) {
  TInputQueue q;
  q.SetSize(100);
  q.SetFlowControlled(true);
  q.Push(std::string(100, 'a'));
  char out[300];
  TInputQueue::TTaken t = q.Take(out, 10);
  EXPECT_EQ(t.count, 10u);
  EXPECT_TRUE(t.intakeAgain);  // it was full
  EXPECT_FALSE(t.emptied);
  t = q.Take(out, 300);
  EXPECT_EQ(t.count, 90u);
  EXPECT_FALSE(t.intakeAgain);
  EXPECT_TRUE(t.emptied);
  EXPECT_EQ(q.Take(out, 10).count, 0u);
  q.SetFlowControlled(false);
  q.Push(std::string(150, 'b'));
  EXPECT_FALSE(q.Take(out, 10).intakeAgain);  // nothing was held back

  // A long stream through pushes and takes of other sizes, past the point
  // where the taken front is dropped: every byte once, in order.
  q.Clear();
  std::string sent, got;
  for (int i = 0; got.size() < 400000; ++i) {
    if (sent.size() < 400000) {
      std::string chunk;
      for (int k = 0; k < 4093; ++k) chunk += static_cast<char>('a' + (sent.size() + chunk.size()) % 26);
      sent += chunk;
      q.Push(chunk);
    }
    const size_t n = q.Take(out, i % 3 == 0 ? 300 : 250).count;
    got.append(out, n);
    ASSERT_EQ(q.Count(), sent.size() - got.size());
  }
  EXPECT_TRUE(got == sent.substr(0, got.size()));
}

}  // namespace
