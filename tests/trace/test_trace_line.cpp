// The trace's lines: the time, TX or RX, the bytes in hex and the printable
// ones between bars; a comment on one line whatever breaks its text has.
#include <gtest/gtest.h>

#include <string>

#include "trace/TraceLine.h"

namespace {

TEST(TraceLine, DataAndCommentLines) {
  struct Case {
    trace::TTimeOfDay at;
    std::string kind;  // "TX", "RX" or "#"
    std::string text;
    const char* line;
  };
  const Case cases[] = {
      {{14, 3, 7, 512}, "TX", "\re", "14:03:07.512 TX 0D 65 |.e|\n"},
      {{0, 0, 0, 0}, "TX", " ", "00:00:00.000 TX 20 | |\n"},
      // The edges of printable ASCII; NUL and the receiver's code page (0xE8
      // is a c with caron) as dots; a bar as itself.
      {{23, 59, 59, 9}, "RX", std::string("\x1F\x20\x7E\x7F\x00\x80\xE8\xFF|", 9),
       "23:59:59.009 RX 1F 20 7E 7F 00 80 E8 FF 7C |. ~.....||\n"},
      {{10, 0, 0, 1}, "#", "port COM1 (/dev/ttyUSB0) opened", "10:00:00.001 # port COM1 (/dev/ttyUSB0) opened\n"},
      // An error box's paragraphs.
      {{10, 0, 0, 2}, "#", "\r\nerror: Unable to open com port\n\nNo such file\r\n",
       "10:00:00.002 # error: Unable to open com port / No such file\n"},
  };
  for (const Case& c : cases) {
    const auto direction = c.kind == "TX" ? trace::TDirection::Tx : trace::TDirection::Rx;
    EXPECT_EQ(c.kind == "#" ? trace::CommentLine(c.at, c.text) : trace::DataLine(c.at, direction, c.text), c.line);
  }
}

}  // namespace
