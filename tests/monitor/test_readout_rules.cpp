// Which lines the memo keeps of a read-out.
#include <gtest/gtest.h>

#include "link/ReceiveText.h"
#include "receiver/Readout.h"

TEST(MonitorTrim, DeletesTheFirstAndLastLineAsTheMemoLaysThemOut) {
  struct Case {
    const char* received;
    int columns;
    const char* kept;
  } cases[] = {
      {"MONITOR: 2\r\nline 1\r\nline 2\r\nCMD>", 0, "line 1\r\nline 2\r\n"},
      {"MONITOR\r\nline 1\r\nCMD>\r\n", 0, "line 1\r\n"},  // an empty last line is no line
      {"HEAD HEAD tail\r\nline 1\r\nline 2 CMD>", 10, "tail\r\nline 1\r\nline 2 "},  // wrapped pieces
  };
  for (const Case& c : cases) {
    TReceiveText text;
    text.SetWrapColumns(c.columns);
    text.Append(c.received);
    monitor::TrimToMonitor(text);
    EXPECT_EQ(text.Text(), c.kept) << c.received;
  }
}
