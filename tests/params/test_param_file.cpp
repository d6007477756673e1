// The parameter set's file without windows: what it keeps, and that no
// content, however cut or garbled, gets half read.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "receiver/ParamFile.h"
#include "receiver/SetCompare.h"

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

// Whatever an editor ends its lines with (LF, CR LF, or CR alone, as some
// still save) the file reads the same, and a refusal names the same line; no
// control character of the file reaches a message.
TEST(SetFile, EveryLineEndReadsAndNoControlCharacterReachesAMessage) {
  const std::string text = SetFileText(AtEnd(true), kOrigin);
  const auto ends = [&](const std::string& t, const std::string& end) {
    std::string out;
    for (char c : t) out += c == '\n' ? end : std::string(1, c);
    return out;
  };
  const auto with = [&](const std::string& from, const std::string& to) {
    return std::string(text).replace(text.find(from), from.size(), to);
  };
  const auto lineOf = [&](const std::string& what) {
    return static_cast<int>(std::count(text.begin(), text.begin() + text.find(what), '\n')) + 1;
  };
  std::string mixed;  // LF, CR LF and CR in turn
  int n = 0;
  for (char c : text) {
    const char* const kEnds[] = {"\n", "\r\n", "\r"};
    mixed += c != '\n' ? std::string(1, c) : std::string(kEnds[n++ % 3]);
  }
  struct Case {
    const char* what;
    std::string bytes;
    int line;             // 0: read whole
    std::string message;
  };
  const Case cases[] = {
      {"CR alone", ends(text, "\r"), 0, ""},
      {"all three", mixed, 0, ""},
      {"CR alone, a value out of range", ends(with("Dead = 255", "Dead = 256"), "\r"), lineOf("Dead ="),
       "„Dead“ = 256 je mimo rozsah 1 až 255"},
      {"an escape sequence in a value", with("Adr3 = 2097151", "Adr3 = 6\x1b[31m"), lineOf("Adr3"),
       "„Adr3“: „6\\x1B[31m“ není desítkové číslo"},
      {"a tab inside a name", with("Net =", "N\tet ="), lineOf("Net ="), "neznámý název „N\\x09et“"},
      {"a bell after the version", with("verze 1", "verze 1\a"), 1, "verzi „1\\x07“ program nezná (zná verzi 1)"},
      {"a UTF-8 C1 control and DEL", with("P0 = 5", "P0 = 5\xc2\x85\x7f"), lineOf("P0 ="),
       "„P0“: „5\\x85\\x7F“ není desítkové číslo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      const TValues read = ReadSetFile(c.bytes);
      EXPECT_EQ(c.line, 0);
      EXPECT_TRUE(Same(read, AtEnd(true)));
    } catch (const ESetFile& e) {
      EXPECT_EQ(e.Line(), c.line);
      EXPECT_EQ(std::string(e.what()), c.message);
      const std::string what = e.what();
      EXPECT_TRUE(std::none_of(what.begin(), what.end(), [](char ch) { return ch >= 0 && ch < 0x20; }));
    }
  }
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
    // A line ends with LF, CR LF or CR: no more lines than these.
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n') +
                                       std::count(text.begin(), text.end(), '\r')) + 1;
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

// A file against a receiver's read-out, as "Načíst sadu…" marks them: the
// receiver's own bytes (header, write order, serial number, operator code)
// never differ, and the transmitters compare as the read-out shows them.
TEST(SetFile, DiffersFromAReceiverInTheFieldsTheDialogMarks) {
  TParamImage receiver = ImageForWrite(AtEnd(false), 100);
  receiver[kOrderByte] = 3;
  receiver[kSerHiByte] = 18;
  receiver[kDeadByte] = 180;
  receiver[kDau1Byte] = 5;  // with Dau2 0 it shows all transmitters: both 0
  receiver[kDau2Byte] = 0;
  const TValues same = ValuesOfReadOut(receiver);
  EXPECT_EQ(same.Dau1, 0);
  struct Case {
    const char* what;
    std::function<void(TValues&)> edit;
    std::vector<TFieldDifference> expected;
  } cases[] = {
      {"the read-out itself", [](TValues&) {}, {}},
      {"the serial number stays the receiver's", [](TValues& v) { v.Ser1 = 0; }, {}},
      {"the dead time", [](TValues& v) { v.Dead = 99; }, {{"Dead", "Mrtvý čas", "99", "180"}}},
      {"one transmitter",
       [](TValues& v) { v.Dau1 = v.Dau2 = 7; },
       {{"Dau1", "Číslo vysílače (1)", "7", "0"}, {"Dau2", "Číslo vysílače (2)", "7", "0"}}},
      {"an address and its column in tab order",
       [](TValues& v) { v.F[1][2] = 4, v.Adr[1] = 2097151; },
       {{"Adr2", "Adresa (2)", "2097151", "0"}, {"F23", "Adresa (2), sloupec 3", "4", "1"}}},
  };
  for (const Case& c : cases) {
    TValues file = same;
    c.edit(file);
    EXPECT_EQ(SetFileDifferences(file, receiver), c.expected) << c.what;
  }
}
