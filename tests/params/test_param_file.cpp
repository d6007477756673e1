// The parameter set's file without windows: what it keeps, and that no
// content, however cut or garbled, gets half read.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "params/ParamFile.h"

using namespace params;

namespace {

// Every field of the set file given pick(its range); Ser1 and Ser2 0.
template <typename Pick>
TValues Values(Pick pick) {
  TValues values;
  ForEachField([&](const std::string& name, int& v) { v = IsSetFileField(name) ? pick(FieldRange(name)) : 0; }, values);
  return values;
}
TValues AtEnd(bool high) {
  return Values([&](TRange r) { return high ? r.Max : r.Min; });
}

const TSetOrigin kOrigin{18, 52, 100, 1, "2026-05-03 14:22:05", "4.03"};
// Two sets alike in every field of the file.
bool Same(const TValues& a, const TValues& b) { return SetFileText(a, kOrigin) == SetFileText(b, kOrigin); }

}  // namespace

TEST(SetFile, KeepsEveryFieldAtBothEndsOfItsRangeAndIgnoresTheSerialNumber) {
  for (bool high : {false, true}) {
    TValues values = AtEnd(high);
    values.Ser1 = 7, values.Ser2 = 9;  // the receiver's, not the file's
    const std::string text = SetFileText(values, kOrigin);
    EXPECT_TRUE(text.starts_with("ZOV Q5r sada parametrů, verze 1\n#"));
    EXPECT_EQ(text.find("\nSer"), std::string::npos);
    EXPECT_TRUE(Same(ReadSetFile(text), AtEnd(high))) << text;
    // As an editor elsewhere may save it: a byte order mark, CR LF, blanks.
    std::string edited = "\xEF\xBB\xBF";
    for (char c : text)
      edited += c == '\n' ? std::string(" \r\n") : c == '=' ? std::string("\t=  ") : std::string(1, c);
    EXPECT_TRUE(Same(ReadSetFile(edited), AtEnd(high)));
  }
  const std::string origin =
      "# Přijímač: výrobní číslo 4660 (Ser.num Hi 18, Ser.num Lo 52), operátor 100, pořadí zápisu 1\n"
      "# Uloženo: 2026-05-03 14:22:05, ZOV Q5r 4.03\n";
  EXPECT_NE(SetFileText(AtEnd(true), kOrigin).find(origin), std::string::npos);
}

// Random changes to valid files (cut anywhere, bytes garbled, lines
// repeated or dropped) and random bytes: reading never crashes (the
// sanitizer build sees any read out of bounds) and gives either a whole set,
// every value in its range, or the line that is wrong.
TEST(SetFile, RandomContentIsReadWholeOrRefusedWithItsLine) {
  std::mt19937 rng(18);
  const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  int whole = 0, refused = 0;
  for (int i = 0; i < 10000; ++i) {
    const TValues values = Values([&](TRange r) { return std::uniform_int_distribution<int>(r.Min, r.Max)(rng); });
    std::string text = SetFileText(values, kOrigin);
    switch (i % 5) {
      case 0:  // as written
        break;
      case 1:
        text.resize(pick(text.size()));
        break;
      case 2:
        for (int k = 1 + static_cast<int>(pick(3)); k > 0; --k) text[pick(text.size())] = static_cast<char>(rng());
        break;
      case 3: {  // a line repeated or dropped
        const std::size_t from = text.find('\n', pick(text.size()));
        const std::size_t to = from == std::string::npos ? from : text.find('\n', from + 1);
        const std::string line = to == std::string::npos ? "" : text.substr(from, to - from);
        if (!line.empty()) text.replace(from, line.size(), rng() % 2 ? "" : line + line);
        break;
      }
      case 4:
        text.resize(pick(kSetFileMaxBytes + 200));
        for (char& c : text) c = static_cast<char>(rng() % 4 ? "=\n#0123456789 AdrF"[pick(17)] : rng());
        if (rng() % 2) text.replace(0, 0, "ZOV Q5r sada parametrů, verze 1\n");
        break;
    }
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    try {
      const TValues read = ReadSetFile(text);
      ++whole;
      EXPECT_FALSE(CheckForSetFile(read)) << text;
      EXPECT_TRUE(Same(ReadSetFile(SetFileText(read, kOrigin)), read));
      if (i % 5 == 0) { EXPECT_TRUE(Same(read, values)); }
    } catch (const ESetFile& e) {
      ++refused;
      ASSERT_NE(i % 5, 0) << e.what();
      ASSERT_TRUE(e.Line() >= 1 && e.Line() <= lines) << e.Line() << " " << e.what();
    }
  }
  // The cases tell apart: some garbled files still read (a changed digit),
  // most do not.
  EXPECT_GT(whole, 2000);
  EXPECT_GT(refused, 4000);
}
