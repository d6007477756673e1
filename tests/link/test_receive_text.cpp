// The receive text: line-break normalisation, appends, NULs, displayed lines
// (wrapping, line access, deletion) and change notifications.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "link/ReceiveText.h"

using namespace std::string_literals;

namespace {

// Straightforward models to check the incremental ones against: the whole
// text normalised at every store, and a layout computed from scratch.
std::string StoreWhole(const std::string& s) {
  std::string t;
  for (char c : s)
    if (c != '\0') t += c;
  std::string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') {
      out += "\r\n";
      ++i;
    } else if (t[i] == '\r' || t[i] == '\n') {
      out += "\r\n";
    } else {
      out += t[i];
    }
  }
  return out;
}

struct Seg {
  std::size_t begin, end;
};

std::vector<Seg> LayOutFromScratch(const std::string& text, int cols) {
  std::vector<Seg> logical;
  std::size_t p = 0;
  for (;;) {
    std::size_t q = text.find("\r\n", p);
    if (q == std::string::npos) {
      if (p < text.size()) logical.push_back({p, text.size()});
      break;
    }
    logical.push_back({p, q});
    p = q + 2;
  }
  std::vector<Seg> out;
  for (Seg l : logical) {
    std::size_t pos = l.begin;
    if (cols > 0) {
      while (l.end - pos > static_cast<std::size_t>(cols)) {
        std::string window = text.substr(pos, cols);
        std::size_t sp = window.rfind(' ');
        std::size_t cut = sp == std::string::npos ? pos + cols : pos + sp + 1;
        out.push_back({pos, cut});
        pos = cut;
      }
    }
    out.push_back({pos, l.end});
  }
  return out;
}

std::vector<std::string> Lines(const TReceiveText& t) {
  std::vector<std::string> v;
  for (int i = 0; i < t.LineCount(); ++i) v.emplace_back(t.LineView(i));
  return v;
}

std::vector<std::string> ExpectedLines(const std::string& text, int cols) {
  std::vector<std::string> v;
  for (Seg s : LayOutFromScratch(text, cols)) v.push_back(text.substr(s.begin, s.end - s.begin));
  return v;
}

TReceiveText Stored(const std::string& s, int cols = 0) {
  TReceiveText t;
  t.SetWrapColumns(cols);
  t.SetText(s);
  return t;
}

}  // namespace

TEST(ReceiveText, NormalisesEveryBreakToCrLf) {
  EXPECT_EQ(Stored("a\rb").Text(), "a\r\nb");
  EXPECT_EQ(Stored("a\nb").Text(), "a\r\nb");
  EXPECT_EQ(Stored("a\r\nb").Text(), "a\r\nb");
  EXPECT_EQ(Stored("a\n\rb").Text(), "a\r\n\r\nb");  // LF CR: two breaks
  EXPECT_EQ(Stored("\r\r\n\n\n\r").Text(), "\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(Stored("x\r").Text(), "x\r\n");
  EXPECT_EQ(Stored("\n").Text(), "\r\n");
  // A stored text stays as it is when stored again.
  TReceiveText t = Stored("p\rq\n\rr\r\n");
  std::string once = t.Text();
  t.SetText(once);
  EXPECT_EQ(t.Text(), once);
}

TEST(ReceiveText, CrLfSplitOverTwoAppendsIsOneBreakAsInOneChunk) {
  TReceiveText t;
  int changes = 0;
  t.OnChanged = [&](int) { ++changes; };
  t.Append("OK\r");
  EXPECT_EQ(t.Text(), "OK\r\n");
  t.Append("\n");  // the CR's own LF: nothing changes
  EXPECT_EQ(changes, 1);
  t.Append("\nCMD>");  // a second LF is a break of its own
  EXPECT_EQ(t.Text(), "OK\r\n\r\nCMD>");
  // Across NULs too, and after the line the CR ended was deleted (the
  // monitor's trim): a late LF adds no empty line; but not after a Clear.
  t.SetText("a\r");
  t.Append("\0\nb"s);
  EXPECT_EQ(t.Text(), "a\r\nb");
  t.Append("\r");
  t.DeleteLine(1);
  t.Append("\nc");
  EXPECT_EQ(t.Text(), "a\r\nc");
  t.Append("\r");
  t.Clear();
  t.Append("\n");
  EXPECT_EQ(t.Text(), "\r\n");
}

TEST(ReceiveText, NeverHoldsANul) {
  TReceiveText t;
  int changes = 0;
  t.OnChanged = [&](int) { ++changes; };
  t.Append("a\0b"s);
  t.Append("\0\0"s);  // nothing but NULs: no change at all
  EXPECT_EQ(changes, 1);
  t.Append("\r\0\nc"s);  // dropped as the port drops them: still one CR LF
  EXPECT_EQ(t.Text(), "ab\r\nc");
  t.SetText("\0x\0"s);
  EXPECT_EQ(t.Text(), "x");
  EXPECT_EQ(t.Text().find('\0'), std::string::npos);
}

TEST(ReceiveText, ContainsIsAnExactSubstringSearchAnywhere) {
  TReceiveText t;
  t.Append("old CMD> here\r\n");
  t.Append("reply CM");
  t.Append("D");
  EXPECT_TRUE(t.Contains("CMD>"));  // an old prompt counts too
  EXPECT_TRUE(t.Contains("CMD"));
  EXPECT_FALSE(t.Contains("cmd>"));
  EXPECT_TRUE(t.Contains("reply CMD"));  // across appends
  EXPECT_TRUE(t.Contains("here\r\nreply"));
  EXPECT_EQ(t.Find("CMD"), 4u);
  EXPECT_EQ(t.Find("CMD", 5), 21u);
  t.Clear();
  EXPECT_FALSE(t.Contains("CMD"));
  EXPECT_EQ(t.Text(), "");
  EXPECT_EQ(t.LineCount(), 0);
}

TEST(ReceiveText, AnEmptyLastLineIsNotCounted) {
  EXPECT_EQ(Stored("").LineCount(), 0);
  EXPECT_EQ(Stored("a").LineCount(), 1);
  EXPECT_EQ(Stored("a\r\n").LineCount(), 1);
  EXPECT_EQ(Stored("a\r\n\r\n").LineCount(), 2);
  TReceiveText t = Stored("\r\n");
  ASSERT_EQ(t.LineCount(), 1);
  EXPECT_EQ(t.Line(0), "");
  EXPECT_EQ(t.Line(1), "");  // out of range
  EXPECT_EQ(t.Line(-1), "");
  EXPECT_EQ(t.LineStart(1), 2u);
  EXPECT_EQ(t.LineStart(2), std::string::npos);
}

TEST(ReceiveText, WrapsLikeAnEditControl) {
  TReceiveText t = Stored("hello world foo\r\nabcdefghijklmnopqrstuvwxy\r\n0123456789\r\na b", 10);
  EXPECT_EQ(Lines(t), (std::vector<std::string>{
                          "hello ", "world foo",          // after the last space that fits
                          "abcdefghij", "klmnopqrst", "uvwxy",  // no space: hard at 10
                          "0123456789",                   // exactly 10: one line
                          "a b"}));
  // Line 0 of a reply is the first displayed line.
  EXPECT_EQ(t.Line(0), "hello ");
  t.SetWrapColumns(0);
  EXPECT_EQ(Lines(t), (std::vector<std::string>{"hello world foo", "abcdefghijklmnopqrstuvwxy",
                                                "0123456789", "a b"}));
  t.SetWrapColumns(-3);
  EXPECT_EQ(t.WrapColumns(), 0);
}

TEST(ReceiveText, LineReturnsAtMost4096Bytes) {
  std::string longLine(5000, 'x');
  longLine[4095] = 'y';
  TReceiveText t = Stored(longLine + "\r\nshort");
  ASSERT_EQ(t.LineCount(), 2);
  EXPECT_EQ(t.Line(0), longLine.substr(0, 4096));
  EXPECT_EQ(t.LineView(0).size(), 5000u);
  EXPECT_EQ(t.Line(1), "short");
}

TEST(ReceiveText, DeleteLineRemovesADisplayedLine) {
  // The monitor read-out: first line, then last line.
  TReceiveText t = Stored("m\r\n01 event\r\n02 event\r\nCMD>");
  t.DeleteLine(0);
  t.DeleteLine(t.LineCount() - 1);
  EXPECT_EQ(t.Text(), "01 event\r\n02 event\r\n");  // the break before the last line stays
  EXPECT_EQ(t.LineCount(), 2);

  // The last line followed by a break goes with its break.
  t = Stored("a\r\nb\r\n");
  t.DeleteLine(1);
  EXPECT_EQ(t.Text(), "a\r\n");

  // A wrapped segment goes alone; the rest of its line joins the part before.
  t = Stored("abcdefgh\r\nxy", 5);
  ASSERT_EQ(Lines(t), (std::vector<std::string>{"abcde", "fgh", "xy"}));
  t.DeleteLine(0);
  EXPECT_EQ(t.Text(), "fgh\r\nxy");
  t = Stored("abcdefgh\r\nxy", 5);
  t.DeleteLine(1);  // "fgh" ends the line: its break goes too, "xy" joins
  EXPECT_EQ(t.Text(), "abcdexy");
  EXPECT_EQ(Lines(t), (std::vector<std::string>{"abcde", "xy"}));

  t = Stored("only");
  t.DeleteLine(1);
  t.DeleteLine(-1);
  EXPECT_EQ(t.Text(), "only");
  t.DeleteLine(0);
  EXPECT_EQ(t.Text(), "");
  EXPECT_EQ(t.LineCount(), 0);
}

TEST(ReceiveText, ReportsTheFirstChangedLine) {
  TReceiveText t;
  std::vector<int> seen;
  t.OnChanged = [&](int first) { seen.push_back(first); };
  t.Append("ab\r\ncd");  // 0
  t.Append("ef");        // the open last line, 1
  t.Append("\r\n");      // only a break after line 1: nothing shown changes, 2
  t.Append("gh");        // a new line, 2
  t.DeleteLine(0);       // 0
  t.SetWrapColumns(1);   // 0
  t.SetWrapColumns(1);   // no change, no call
  t.SetText("x");        // 0
  t.Clear();             // 0
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 2, 0, 0, 0, 0}));
}

// Appending chunk by chunk gives the same text and the same displayed lines as
// normalising everything appended as one stream, for any chunking, any wrap
// width and with deletions in between; OnChanged never claims an unchanged
// line below its index.
TEST(ReceiveText, IncrementalEqualsWholeStoreOverRandomChunkings) {
  const std::string alphabet = "ab  x\r\n\r\n\0"s;
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    const int colsChoice[] = {0, 1, 2, 3, 5, 8, 16};
    int cols = colsChoice[rng() % 7];
    TReceiveText t;
    t.SetWrapColumns(cols);
    std::vector<std::string> before;
    int reported = -1;
    t.OnChanged = [&](int first) { reported = first; };
    std::string reference;
    bool afterCr = false;  // the reference's last byte stored was a CR
    for (int step = 0; step < 60; ++step) {
      before = Lines(t);
      reported = -1;
      unsigned op = rng() % 20;
      if (op == 0 && t.LineCount() > 0) {
        int i = static_cast<int>(rng() % t.LineCount());
        auto segs = LayOutFromScratch(reference, cols);
        std::size_t b = segs[i].begin;
        std::size_t e = i + 1 < static_cast<int>(segs.size()) ? segs[i + 1].begin : reference.size();
        reference.erase(b, e - b);
        t.DeleteLine(i);
      } else if (op == 1) {
        cols = colsChoice[rng() % 7];
        t.SetWrapColumns(cols);
      } else {
        std::string chunk;
        int len = 1 + rng() % 12;
        for (int k = 0; k < len; ++k) chunk += alphabet[rng() % alphabet.size()];
        std::string kept;
        for (char c : chunk)
          if (c != '\0') kept += c;
        if (afterCr && !kept.empty() && kept[0] == '\n') {
          kept.erase(0, 1);
          afterCr = false;
        }
        if (!kept.empty()) afterCr = kept.back() == '\r';
        reference += StoreWhole(kept);
        t.Append(chunk);
      }
      ASSERT_EQ(t.Text(), reference) << "seed " << seed << " step " << step;
      auto lines = Lines(t);
      ASSERT_EQ(lines, ExpectedLines(reference, cols)) << "seed " << seed << " step " << step;
      for (int i = 0; i < reported; ++i) {
        ASSERT_TRUE(i < static_cast<int>(lines.size()) && i < static_cast<int>(before.size()) &&
                    lines[i] == before[i])
            << "seed " << seed << " step " << step << " line " << i << " reported " << reported;
      }
      for (int i = 0; i < t.LineCount(); ++i)
        ASSERT_EQ(t.Text().substr(t.LineStart(i), lines[i].size()), lines[i]);
    }
  }
}

// A few MB of monitor-like text in small chunks: appends must not rewrite the
// text (a quadratic store takes minutes here; the bound is far above the
// expected tens of milliseconds, also under sanitizers).
TEST(ReceiveText, LargeTextsStayFast) {
  std::mt19937 rng(7);
  std::string source;
  for (int n = 0; source.size() < 4u << 20; ++n)
    source += "00" + std::to_string(n % 1000) + " 12.03.26 08:15:00 adresa 1234 skupina A " +
              std::string(rng() % 80, 'x') + "\r\n";
  TReceiveText t;
  t.SetWrapColumns(100);
  std::vector<std::size_t> chunks;
  for (std::size_t p = 0; p < source.size(); p += chunks.back())
    chunks.push_back(std::min<std::size_t>(1 + rng() % 64, source.size() - p));

  auto start = std::chrono::steady_clock::now();
  std::size_t p = 0;
  for (std::size_t len : chunks) {
    t.Append(std::string_view(source).substr(p, len));
    p += len;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);

  // However it was cut, the source as one text.
  const std::string expected = StoreWhole(source);
  // Plain comparisons: a failure report of megabytes would take minutes.
  EXPECT_TRUE(t.Text() == expected);
  EXPECT_TRUE(Lines(t) == ExpectedLines(expected, 100));
  EXPECT_TRUE(t.Contains("0999 12.03.26"));
  t.DeleteLine(0);
  t.DeleteLine(t.LineCount() - 1);
  EXPECT_TRUE(Lines(t) == ExpectedLines(t.Text(), 100));
}
