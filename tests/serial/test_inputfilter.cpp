// Received bytes through the device layer's filter: NULs dropped, parity
// marks turned into the replacement character, the event character seen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/InputFilter.h"

namespace {

struct Case {
  const char* what;
  TInputFilterSettings settings;
  std::vector<std::string> chunks;  // as successive reads bring them
  std::string out;
  bool eventChar;
};

using std::string_literals::operator""s;

const TInputFilterSettings kPlain{};
const TInputFilterSettings kNoNul{.discardNull = true};
const TInputFilterSettings kMarks{.errorMarks = true, .errorChar = '?'};
const TInputFilterSettings kLines{.discardNull = true, .eventChar = '\n'};

const Case kCases[] = {
    {"bytes as they come", kPlain, {"\0a\xFF\x00"s}, "\0a\xFF\x00"s, true},  // the event character 0
    {"NULs dropped", kNoNul, {"\0a\0b\0\0"s, "c\0"s}, "abc", false},
    {"nothing but NULs", kNoNul, {std::string(100, '\0')}, "", false},
    {"event character", kLines, {"CMD>"s, "line\n"s}, "CMD>line\n", true},
    {"no event character", kLines, {"abc"}, "abc", false},
    {"a dropped NUL is no event character", {.discardNull = true, .eventChar = 0}, {"a\0"s}, "a", false},
    {"a marked byte", kMarks, {"a\xFF\x00\x41z"s}, "a?z", false},
    {"a real 0xFF", kMarks, {"\xFF\xFFz"s}, "\xFFz", false},
    {"a break", kMarks, {"\xFF\x00\x00"s}, "?", false},
    {"a mark split across reads", kMarks, {"a\xFF"s, "\x00"s, "Az"s}, "a?z", false},
    {"a 0xFF that starts no mark", kMarks, {"\xFFx"s}, "\xFFx", false},
    {"marks off: passed as they are", kPlain, {"\xFF\x00\x41"s}, "\xFF\x00\x41"s, true},
    {"a replacement that is the event character",
     {.errorMarks = true, .errorChar = '\n', .eventChar = '\n'}, {"\xFF\x00\x41"s}, "\n", true},
};

}  // namespace

TEST(InputFilter, KeepsDropsAndReplacesAsTheSettingsSay) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    TInputFilter f;
    f.Configure(c.settings);
    std::string out = "queued";
    bool eventChar = false;
    for (const std::string& chunk : c.chunks)
      eventChar |= f.Filter(reinterpret_cast<const unsigned char*>(chunk.data()), chunk.size(), out);
    EXPECT_EQ(out, "queued" + c.out);
    EXPECT_EQ(eventChar, c.eventChar);
  }
}

TEST(InputFilter, AHalfReadMarkIsForgottenWhenTheInputIsEmptiedOrTheMarksSwitched) {
  TInputFilter f;
  f.Configure(kMarks);
  std::string out;
  auto feed = [&](const std::string& s) {
    f.Filter(reinterpret_cast<const unsigned char*>(s.data()), s.size(), out);
  };
  feed("\xFF\x00");
  f.Reset();  // purged: what follows is no longer the marked byte
  feed("A");
  EXPECT_EQ(out, "A");
  out.clear();
  feed("\xFF");
  f.Configure(kPlain);
  feed("\x00z"s);
  EXPECT_EQ(out, "\0z"s);
  out.clear();
  f.Configure(kMarks);
  f.Configure(kMarks);  // the same settings again keep a half-read mark
  feed("\xFF");
  f.Configure(kMarks);
  feed("\xFF");
  EXPECT_EQ(out, "\xFF");
}
