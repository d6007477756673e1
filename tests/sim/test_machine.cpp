// The simulated receiver's protocol machine in virtual time: the login, every
// command and every fault, with its timeouts checked to the millisecond, and
// the cable swap after a completed write.
#include <algorithm>
#include <functional>

#include "SimTestSupport.h"

namespace {

using namespace simtest;
using sim::Fault;
using sim::Piece;
using sim::State;

const sim::Time kStart = sim::Time{} + std::chrono::hours(1);

// The machine on a line of virtual time, driven as the Receiver drives it.
struct Virtual {
  explicit Virtual(sim::ProtocolOptions o = {}) : m(std::move(o), kStart) { m.Open(); }
  // The program sends bytes now: what the receiver replies.
  std::string Send(std::string_view bytes) {
    m.Receive(bytes, now);
    return Replies();
  }
  // Time passes: what the receiver replies meanwhile, to its timeouts.
  std::string Wait(int ms) {
    const sim::Time until = now + Ms(ms);
    for (auto d = m.NextDeadline(); d && *d <= until; d = m.NextDeadline()) m.Advance(now = std::max(now, *d));
    m.Advance(now = until);
    return Replies();
  }
  std::vector<Piece> Pieces() {
    std::vector<Piece> out;
    while (auto p = m.TakePiece(now)) out.push_back(*p);
    for (auto& n : m.TakeNotes()) notes.push_back(n);
    return out;
  }
  std::string Replies() {
    std::string s;
    for (const auto& p : Pieces()) s += p.bytes;
    return s;
  }
  bool Noted(std::string_view text) const {
    return std::any_of(notes.begin(), notes.end(), [&](const auto& n) { return n.find(text) != n.npos; });
  }
  sim::ProtocolMachine m;
  sim::Time now = kStart;
  std::vector<std::string> notes;
};

::testing::AssertionResult LogIn(Virtual& v, char op = 'd', bool pressReset = true) {
  if (pressReset) v.m.PressReset();
  const std::pair<std::string, const char*> steps[] = {{" ", "WORD:"}, {"TREMO", "OP:"}, {std::string(1, op), "CMD>"}};
  for (const auto& [send, prompt] : steps) {
    const std::string got = v.Send(send);
    if (WithoutNul(got).find(prompt) == std::string::npos)
      return ::testing::AssertionFailure() << "no " << prompt << " but \"" << got << '"';
  }
  return ::testing::AssertionSuccess();
}

std::string Frame(const sim::ParamSet& p, std::uint8_t fill = 0xFF) {
  std::string f(reinterpret_cast<const char*>(p.data()), p.size());
  f.append(sim::kFrameSize - sim::kParamSize, static_cast<char>(fill));
  return f;
}

const char kCmd[] = "\r\nCMD>";
const std::string kStored = "\r\nZAPS\xC1NO\r\nCMD>";
const std::string kFrameRefused = "\r\nCHYBA Z\xC1PISU\r\nCMD>";
const std::string kClockRefused = "\r\nCHYBA NASTAVEN\xCD HODIN\r\nCMD>";

TEST(Machine, LogsInOnlyAfterAResetAndDropsAStalePartialPassword) {
  Virtual v;
  EXPECT_EQ(v.m.CurrentState(), State::BeforeReset);
  EXPECT_EQ(v.Send("  \rTREMOe"), "");
  ASSERT_TRUE(v.m.PressReset());
  EXPECT_EQ(v.Send(" "), "\r\nPASSWORD:");
  // More polling spaces, then a wrong password: back to the prompt.
  EXPECT_EQ(v.Send("  TREMA"), "\r\nCHYBN\xC9 HESLO\r\nPASSWORD:");
  // A partial password stands for 999 ms without a byte ...
  EXPECT_EQ(v.Send("TR"), "");
  EXPECT_EQ(v.Wait(999), "");
  EXPECT_EQ(v.Send("EMO"), "\r\nOP:");
  v.m.PressReset();
  v.Send(" ");
  // ... but not for 1000 ms.
  v.Send("TR");
  v.Wait(1000);
  EXPECT_TRUE(v.Noted("partial password \"TR\" dropped"));
  EXPECT_EQ(v.Send("TREMO"), "\r\nOP:");
  EXPECT_EQ(v.m.CurrentState(), State::Operator);
  EXPECT_EQ(v.Send("d"), kCmd);
  EXPECT_EQ(v.m.OperatorCode(), 100);
  EXPECT_EQ(v.m.CurrentState(), State::Command);

  EXPECT_EQ(v.Send("\r"), kCmd);
  EXPECT_EQ(v.Send(std::string("\n \0", 3)), "");   // ignored
  EXPECT_EQ(v.Send("x"), "\r\n?\r\nCMD>");

  // A reset drops what is still to go and logs out.
  v.m.Receive("m", v.now);
  ASSERT_TRUE(v.m.HasOutput());
  v.m.PressReset();
  EXPECT_FALSE(v.m.HasOutput());
  EXPECT_EQ(v.Send("e"), "");
  EXPECT_TRUE(LogIn(v, '\x01'));
  EXPECT_EQ(v.m.OperatorCode(), 1);

  // Once the line has gone nothing more is read, and there is nothing to reset.
  v.m.LineClosed("pulled");
  EXPECT_EQ(v.m.CurrentState(), State::Vanished);
  EXPECT_FALSE(v.m.PressReset());
  EXPECT_EQ(v.Send("\r"), "");

  Virtual resetOnStart({.resetOnStart = true});
  EXPECT_EQ(resetOnStart.m.CurrentState(), State::AwaitSpace);
  EXPECT_EQ(resetOnStart.Send("\r"), "\r\nPASSWORD:");
}

TEST(Machine, ParameterSetReadsOutAsTheProgramCutsIt) {
  Virtual v;
  ASSERT_TRUE(LogIn(v));
  const std::string reply = v.Send("e");
  ASSERT_EQ(reply.rfind("PARAMETRY\r\n", 0), 0u);
  // Nothing but digits and commas between the first field and the prompt.
  const std::size_t first = reply.find(',') - 3;
  const std::size_t end = reply.find(kCmd);
  EXPECT_EQ(first, 11u);
  EXPECT_EQ(end - first, 72 * 4 - 1u);
  EXPECT_EQ(end + 6, reply.size());
  EXPECT_EQ(reply.find_first_not_of("0123456789,", first), end);
  EXPECT_EQ(CutFields(reply), v.m.Params());

  // The default set is a plausible receiver's.
  const auto p = sim::ProtocolMachine::DefaultParams();
  EXPECT_EQ(p[0], 0x55);
  EXPECT_EQ(p[1], 0xAA);
  EXPECT_EQ(p[2], 180);
  EXPECT_EQ(p[16] * 65536 + p[17] * 256 + p[18], 543001);
  EXPECT_NE(p[7], 0);
  EXPECT_TRUE(std::all_of(p.begin() + 40, p.end(), [](int x) { return x >= 1 && x <= 5; }));

  sim::ParamSet q{};
  for (int i = 0; i < sim::kParamSize; ++i) q[i] = static_cast<std::uint8_t>(255 - i);
  v.m.SetParams(q);
  EXPECT_EQ(CutFields(v.Send("e")), q);
}

TEST(Machine, FrameWriteStoresGoodFramesAndRefusesBadOrCutOnes) {
  Virtual v;
  ASSERT_TRUE(LogIn(v));
  sim::ParamSet p = sim::ProtocolMachine::DefaultParams();
  p[2] = 77;
  p[7] = 0;
  // Bytes that are commands on the command line are data in a frame.
  p[14] = '\r';
  p[15] = 'e';
  p[19] = 0;
  const std::string good = Frame(p);
  // Up to 1999 ms between two bytes.
  EXPECT_EQ(v.Send("z" + good.substr(0, 64)), "");
  EXPECT_EQ(v.Wait(1999), "");
  EXPECT_EQ(v.Send(good.substr(64)), kStored);
  EXPECT_EQ(v.m.Params(), p);
  EXPECT_EQ(v.m.FramesAccepted(), 1);

  // Without 0x55 0xAA in front: refused, the set untouched.
  sim::ParamSet bad = p;
  bad[0] = 0;
  bad[2] = 99;
  EXPECT_EQ(v.Send("z" + Frame(bad)), kFrameRefused);
  EXPECT_TRUE(v.Noted("00 AA"));
  // Cut short: refused 2000 ms after its last byte ...
  EXPECT_EQ(v.Send("z" + Frame(bad).substr(0, 40)), "");
  EXPECT_EQ(v.Wait(1999), "");
  EXPECT_EQ(v.Wait(1), kFrameRefused);
  EXPECT_TRUE(v.Noted("40 of 128"));
  // ... or after the "z" when nothing follows it.
  EXPECT_EQ(v.Send("z"), "");
  EXPECT_EQ(v.Wait(2000), kFrameRefused);
  EXPECT_EQ(v.m.Params(), p);
  EXPECT_EQ(v.m.FramesRefused(), 3);
  EXPECT_EQ(v.m.CurrentState(), State::Command);

  // Padding other than 0xFF is taken, and noted.
  p[2] = 78;
  EXPECT_EQ(v.Send("z" + Frame(p, 0)), kStored);
  EXPECT_EQ(v.m.Params(), p);
  EXPECT_TRUE(v.Noted("not all FF"));
}

TEST(Machine, ClockReadsOutRunningAndOverMidnight) {
  Virtual v;
  ASSERT_TRUE(LogIn(v));
  v.m.SetClock({3, 7, 12, 2026, 23, 29, 7}, v.now);
  // The line's first colon is the one after HODINY, where the program cuts.
  EXPECT_EQ(v.Send("t"), "HODINY: 3 07.12.26 23:29:07\r\nCMD>");
  // Saturday 23:59:59 runs into Sunday (0) and the next month, a second later.
  v.m.SetClock({6, 31, 1, 2026, 23, 59, 59}, v.now);
  v.Wait(999);
  EXPECT_EQ(v.Send("t"), "HODINY: 6 31.01.26 23:59:59\r\nCMD>");
  v.Wait(1);
  EXPECT_EQ(v.Send("t"), "HODINY: 0 01.02.26 00:00:00\r\nCMD>");
}

TEST(Machine, ClockSetTakesSevenFieldsAndRunsFromTheSecondsLastByte) {
  Virtual v;
  ASSERT_TRUE(LogIn(v));
  // As the program sends them: "s", then each field and a pause. A pause of
  // 250 ms ends a field, one of 249 ms does not.
  EXPECT_EQ(v.Send("s0"), "");
  v.Wait(249);
  v.Send("6");
  v.Wait(500);
  for (const char* f : {"05", "03", "00", "08", "07"}) {
    v.Send(f);
    v.Wait(500);
  }
  v.Send("06");
  const sim::Time secondsCame = v.now;
  EXPECT_EQ(v.Wait(249), "");
  EXPECT_EQ(v.Wait(1), "\r\nOK\r\nCMD>");
  EXPECT_EQ(v.m.ClockAt(secondsCame + Ms(999)), (sim::ClockTime{6, 5, 3, 2000, 8, 7, 6}));
  EXPECT_EQ(v.m.ClockAt(secondsCame + Ms(1000)).second, 7);

  // Separators end fields too; an impossible date runs on like a calendar.
  EXPECT_EQ(v.Send("s3,31.02.26 08:07:06\r"), "\r\nOK\r\nCMD>");
  EXPECT_EQ(v.m.ClockAt(v.now), (sim::ClockTime{3, 3, 3, 2026, 8, 7, 6}));
  // A field out of range refuses the lot.
  EXPECT_EQ(v.Send("s3,05,13,31,08,07,06\r"), kClockRefused);
  EXPECT_TRUE(v.Noted("month \"13\""));
  EXPECT_EQ(v.m.ClockAt(v.now).month, 3);
  // Four fields, then nothing: abandoned 2000 ms after the last byte.
  EXPECT_EQ(v.Send("s1 02 03 04 "), "");
  EXPECT_EQ(v.Wait(1999), "");
  EXPECT_EQ(v.Wait(1), kClockRefused);
  EXPECT_TRUE(v.Noted("4 of 7 fields"));
  EXPECT_EQ(v.m.CurrentState(), State::Command);
  EXPECT_EQ(v.m.ClockAt(v.now).day, 3);
}

TEST(Machine, MonitorReadsOutClearsAndTakesScriptedReplies) {
  Virtual v({.monitorLines = 20});
  ASSERT_TRUE(LogIn(v));
  std::string expected = "MONITOR UD\xC1LOST\xCD: 20\r\n";
  for (const auto& line : v.m.MonitorLines()) expected += line + "\r\n";
  const std::string reply = v.Send("m");
  EXPECT_EQ(reply, expected + "CMD>");
  EXPECT_NE(reply.find("Poplach sir\xE9ny"), std::string::npos);   // Czech in code page 1250
  EXPECT_EQ(sim::ToCp1250("Poplach sirény, Požární, Ztráta"), "Poplach sir\xE9ny, Po\x9E\xE1rn\xED, Ztr\xE1ta");
  EXPECT_EQ(sim::FromCp1250("Po\x9E\xE1r"), "Požár");

  EXPECT_EQ(v.Send("n"), "\r\nMONITOR VYMAZ\xC1N\r\nCMD>");
  EXPECT_TRUE(v.m.MonitorLines().empty());
  EXPECT_EQ(v.Send("m"), "MONITOR UD\xC1LOST\xCD: 0\r\nCMD>");

  // Scripted replies stand in for the receiver's own: an earlier colon in
  // the clock line; a clear that answers oddly but clears all the same.
  const std::string early = "12:00 HODINY: 3 07.12.26 23:29:07\r\nCMD>";
  v.m.SetCustomReply('t', early);
  EXPECT_EQ(v.Send("t"), early);
  v.m.SetMonitorLines({"0001 event"});
  v.m.SetCustomReply('n', std::string(kCmd));
  EXPECT_EQ(v.Send("n"), kCmd);
  EXPECT_TRUE(v.m.MonitorLines().empty());
  v.m.SetCustomReply('t', std::nullopt);
  EXPECT_EQ(v.Send("t").rfind("HODINY: ", 0), 0u);
}

TEST(Machine, DefaultMonitorTakesAboutThirtySecondsAtNineThousandSixHundredBaud) {
  std::size_t bytes = 0;
  for (const auto& l : sim::ProtocolMachine::DefaultMonitor(sim::ProtocolOptions{}.monitorLines)) {
    bytes += l.size() + 2;
    EXPECT_EQ(l.find("CMD>"), std::string::npos);
    EXPECT_LT(l.size(), 60u);   // never wrapped by the program's memo
  }
  const double seconds = bytes * 10 / 9600.0;
  EXPECT_GT(seconds, 27);
  EXPECT_LT(seconds, 33);
}

TEST(FaultNames, RoundTripAndAreDocumented) {
  std::set<std::string> names;
  for (Fault f : sim::AllFaults()) {
    const std::string name(sim::FaultName(f));
    EXPECT_EQ(sim::FaultFromName(name), f);
    EXPECT_FALSE(sim::FaultDescription(f).empty());
    names.insert(name);
  }
  EXPECT_EQ(names.size(), sim::AllFaults().size());
  EXPECT_FALSE(sim::FaultFromName("Silent").has_value());
  EXPECT_FALSE(sim::FaultFromName("").has_value());
}

TEST(MachineFaults, SilentListensNoOpSkipsTheOperatorPromptResetInLoginLosesTheCodeAndSplitCutsWord) {
  Virtual silent({.faults = {Fault::Silent}});
  silent.m.PressReset();
  EXPECT_EQ(silent.Send(" TREMOd\re"), "");
  EXPECT_EQ(silent.m.CurrentState(), State::Command);   // it listened all along
  silent.m.SetFault(Fault::Silent, false);
  EXPECT_TRUE(silent.m.Faults().empty());
  EXPECT_EQ(silent.Send("\r"), kCmd);

  Virtual noOp({.faults = {Fault::NoOp}});
  noOp.m.PressReset();
  EXPECT_EQ(noOp.Send(" "), "\r\nPASSWORD:");
  EXPECT_EQ(noOp.Send("TREMO"), "");
  EXPECT_EQ(noOp.m.CurrentState(), State::Operator);
  EXPECT_EQ(noOp.Send("d"), kCmd);
  EXPECT_EQ(noOp.m.OperatorCode(), 100);

  Virtual resetInLogin({.faults = {Fault::ResetInLogin}});
  resetInLogin.m.PressReset();
  resetInLogin.Send(" ");
  EXPECT_EQ(resetInLogin.Send("TREMO"), "\r\nOP:");
  EXPECT_EQ(resetInLogin.Send("d"), "");  // reset: not a space, so nothing
  EXPECT_EQ(resetInLogin.m.OperatorCode(), -1);
  EXPECT_EQ(resetInLogin.Send("\r"), "\r\nPASSWORD:");

  Virtual split({.faults = {Fault::Split}});
  split.m.PressReset();
  split.m.Receive(" ", split.now);
  const auto pieces = split.Pieces();
  const auto wo = std::find_if(pieces.begin(), pieces.end(), [](const Piece& p) { return p.bytes.ends_with("WO"); });
  ASSERT_NE(wo, pieces.end());
  ASSERT_NE(wo + 1, pieces.end());
  EXPECT_EQ(wo[1].bytes.substr(0, 3), "RD:");
}

// A fault on the command line against the healthy receiver's reply to the
// same command.
struct Shaped {
  std::vector<Piece> pieces;
  std::string text, healthy;
  Virtual& v;
};

struct FaultCase {
  Fault fault;
  std::string command;
  std::function<void(const Shaped&)> check;
};

TEST(MachineFaults, EachShapesTheRepliesAsDescribed) {
  const sim::ParamSet other = [] {
    auto p = sim::ProtocolMachine::DefaultParams();
    p[2] = 42;
    return p;
  }();
  const auto noPrompt = [](const Shaped& s) { EXPECT_EQ(s.text, s.healthy.substr(0, s.healthy.size() - 4)); };
  const auto cutHalf = [](const Shaped& s) { EXPECT_EQ(s.text, s.healthy.substr(0, s.healthy.size() / 2)); };
  const FaultCase cases[] = {
      {Fault::NoCmdPrompt, "\r", noPrompt},
      {Fault::NoCmdPrompt, "e", [](const Shaped& s) { EXPECT_EQ(s.text, s.healthy); }},
      {Fault::CutReply, "e", cutHalf},
      {Fault::CutReply, "t", cutHalf},
      {Fault::CutReply, "m", cutHalf},
      {Fault::CutReply, "\r", [](const Shaped& s) { EXPECT_EQ(s.text, kCmd); }},
      {Fault::MonitorNoEnd, "m", noPrompt},
      {Fault::Garbage, "e",
       [](const Shaped& s) {
         // Noise ahead (never text, a line break, a comma or a colon), NULs
         // inside, and the values the program cuts in place.
         const std::string clean = WithoutNul(s.text);
         ASSERT_TRUE(clean.ends_with(s.healthy));
         const std::string noise = clean.substr(0, clean.size() - s.healthy.size());
         EXPECT_GE(noise.size(), 3u);
         EXPECT_LE(noise.size(), 10u);
         EXPECT_TRUE(std::none_of(noise.begin(), noise.end(),
                                  [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n'; }));
         EXPECT_NE(s.text.find('\0'), std::string::npos);
         EXPECT_EQ(CutFields(clean), s.v.m.Params());
       }},
      {Fault::Split, "e",
       [](const Shaped& s) {
         EXPECT_EQ(s.text, s.healthy);
         EXPECT_GT(s.pieces.size(), 50u);
         for (std::size_t i = 0; i < s.pieces.size(); ++i) {
           EXPECT_LE(s.pieces[i].bytes.size(), 5u);
           EXPECT_EQ(s.pieces[i].pause, Ms(i ? 10 : 0));
           if (s.pieces[i].bytes.back() == '\r' && i + 1 < s.pieces.size()) {
             EXPECT_EQ(s.pieces[i + 1].bytes[0], '\n');
           }
         }
       }},
      {Fault::Split, "m",
       [](const Shaped& s) {   // longer than 512 bytes: cut after every CR only
         EXPECT_EQ(s.text, s.healthy);
         EXPECT_EQ(s.pieces.size(), 22u);
         for (std::size_t i = 0; i + 1 < s.pieces.size(); ++i) EXPECT_EQ(s.pieces[i].bytes.back(), '\r');
       }},
      {Fault::Slow, "e",
       [](const Shaped& s) {
         ASSERT_EQ(s.pieces.size(), 1u);
         EXPECT_EQ(s.pieces[0].pause, Ms(2500));
         EXPECT_EQ(s.text, s.healthy);
       }},
      {Fault::MonitorLate, "m",
       [](const Shaped& s) {
         ASSERT_EQ(s.pieces.size(), 2u);
         EXPECT_EQ(s.pieces[1].bytes, "CMD>");
         EXPECT_EQ(s.pieces[1].pause, Ms(45000));
         EXPECT_EQ(s.text, s.healthy);
       }},
      {Fault::Vanish, "e",
       [](const Shaped& s) {
         ASSERT_EQ(s.pieces.size(), 2u);
         EXPECT_EQ(s.pieces[0].bytes, s.healthy.substr(0, (s.healthy.size() + 1) / 2));
         EXPECT_TRUE(s.pieces[1].closeLine);
         EXPECT_EQ(s.pieces[1].pause, Ms(50));
       }},
      {Fault::KeepsOldSet, "z" + Frame(other),
       [](const Shaped& s) {
         EXPECT_EQ(s.text, kStored);
         EXPECT_EQ(s.v.m.Params(), sim::ProtocolMachine::DefaultParams());
         EXPECT_EQ(s.v.m.FramesAccepted(), 1);
       }},
      {Fault::ClockOff, "s3 31 12 26 23 30 00\r",
       [](const Shaped& s) {   // an hour later: the next day, and its day of week
         EXPECT_EQ(s.text, "\r\nOK\r\nCMD>");
         EXPECT_EQ(s.v.m.ClockAt(s.v.now), (sim::ClockTime{4, 1, 1, 2027, 0, 30, 0}));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(sim::FaultName(c.fault)) + " on " + sim::Printable(c.command.substr(0, 1)));
    Virtual healthy({.monitorLines = 20}), faulty({.monitorLines = 20, .faults = {c.fault}});
    ASSERT_TRUE(LogIn(healthy));
    ASSERT_TRUE(LogIn(faulty));
    for (Virtual* v : {&healthy, &faulty}) v->m.SetClock({3, 7, 12, 2026, 23, 29, 7}, v->now);
    const std::string normal = healthy.Send(c.command);
    faulty.m.Receive(c.command, faulty.now);
    Shaped s{faulty.Pieces(), "", normal, faulty};
    for (const auto& p : s.pieces) s.text += p.bytes;
    c.check(s);
    EXPECT_EQ(faulty.m.CurrentState(), State::Command);
  }
}

// ---------------------------------------------------------------- cable swaps

// The set of a receiver fresh from the box, with its own serial number.
sim::ParamSet SetOf(int serial) {
  auto p = sim::ProtocolMachine::DefaultParams();
  p[4] = static_cast<std::uint8_t>(serial >> 8);
  p[5] = static_cast<std::uint8_t>(serial);
  return p;
}

TEST(MachineSwap, OnlyAFrameTakenAndItsReadBackGoneOutWholeSwapTheReceiver) {
  sim::ParamSet written = SetOf(7), badStart = SetOf(7);
  badStart[1] = 0;
  const std::string good = "z" + Frame(written), bad = "z" + Frame(badStart);
  struct Case {
    const char* what;
    std::set<Fault> faults;
    std::string write;    // after the login; "!" presses the reset button, "~" lets 2 s pass
    std::string during;   // arrives while the reply to "e" is on its way
    bool swaps;
  };
  const Case cases[] = {
      {"a frame taken, then its read-back", {}, good, "", true},
      {"a CR between; one during the reply goes with the receiver left", {}, good + "\r", "\r", true},
      {"the reply in small pieces: the swap after the last", {Fault::Split}, good, "", true},
      {"a frame answered as stored, the old set kept", {Fault::KeepsOldSet}, good, "", true},
      {"a frame refused for its start", {}, bad, "", false},
      {"a frame taken, then one refused", {}, good + bad, "", false},
      {"a frame cut short", {}, good.substr(0, 41) + "~", "", false},
      {"a reset between the frame and the read-back", {}, good + "!", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Virtual v({.faults = c.faults, .swapSerials = {4661, 4662}});
    ASSERT_TRUE(LogIn(v));
    v.Send(c.write.substr(0, c.write.find_last_not_of("!~") + 1));
    if (c.write.ends_with('~')) v.Wait(2000);
    if (c.write.ends_with('!')) {
      ASSERT_TRUE(LogIn(v));
    }
    v.Replies();
    const sim::ParamSet before = v.m.Params();
    v.m.Receive("e" + c.during, v.now);
    // Piece by piece: until the reply has gone out whole, the receiver that
    // took the write is on the line.
    std::string reply;
    for (std::optional<Piece> p; v.m.Swaps() == 0 && v.m.Params() == before && (p = v.m.TakePiece(v.now));)
      reply += p->bytes;
    EXPECT_TRUE(reply.ends_with("CMD>"));
    EXPECT_EQ(reply.find("CMD>"), reply.size() - 4);   // no answer from the receiver gone
    EXPECT_EQ(CutFields(reply), before);
    EXPECT_EQ(v.m.Swaps(), c.swaps ? 1 : 0);
    EXPECT_EQ(v.m.Params(), c.swaps ? SetOf(4661) : before);
    EXPECT_EQ(v.m.CurrentState(), c.swaps ? State::AwaitSpace : State::Command);
    EXPECT_EQ(v.Replies(), "");   // nor later
    EXPECT_EQ(v.Noted("swapped: now receiver 4661, just reset"), c.swaps);
  }
}

TEST(MachineSwap, EachReceiverOfTheListIsFreshUntilTheListIsUsedUp) {
  const auto key = [](const sim::ClockTime& c) { return std::tuple(c.year, c.month, c.day, c.hour, c.minute, c.second); };
  Virtual v({.monitorLines = 20, .swapSerials = {4661, 65535}});
  const int serials[] = {4660, 4661, 65535};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("receiver " + std::to_string(serials[i]));
    // The next receiver has just been reset: no press before its login.
    ASSERT_TRUE(LogIn(v, 'd', i == 0));
    EXPECT_EQ(CutFields(v.Send("e")), SetOf(serials[i]));   // a read-out, no read-back
    EXPECT_EQ(v.m.MonitorLines(), sim::ProtocolMachine::DefaultMonitor(20));
    v.m.SetMonitorLines({"0001 event"});
    v.m.SetClock({1, 1, 1, 2099, 0, 0, 0}, v.now);
    sim::ParamSet written = SetOf(serials[i]);
    written[2] = static_cast<std::uint8_t>(10 + i);
    v.Send("z" + Frame(written));
    const auto freshBefore = key(sim::ProtocolMachine({}, v.now).ClockAt(v.now));
    EXPECT_EQ(CutFields(v.Send("e")), written);
    const auto freshAfter = key(sim::ProtocolMachine({}, v.now).ClockAt(v.now));
    EXPECT_EQ(v.m.Swaps(), std::min(i + 1, 2));
    // The last of the list stays, with what it holds; the others are gone.
    EXPECT_EQ(v.m.CurrentState(), i == 2 ? State::Command : State::AwaitSpace);
    EXPECT_EQ(v.m.Params() == written, i == 2);
    EXPECT_EQ(v.m.MonitorLines().size(), i == 2 ? 1u : 20u);
    const auto clock = key(v.m.ClockAt(v.now));
    EXPECT_EQ(freshBefore <= clock && clock <= freshAfter, i < 2);
  }
}

}  // namespace
