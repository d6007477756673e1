// The integer conversion in both forms: the whole-text form refuses what is
// not an integer with the conversion error, the prefix form takes what the
// start of a text holds; where the whole-text form accepts, both agree.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "convert/IntConversion.h"

namespace {

struct Case {
  const char* text;
  std::optional<int> whole;  // nullopt: the conversion error
  int prefix;
};

const Case kCases[] = {
    {"100", 100, 100},
    {"  -5", -5, -5},
    {"\t+07", 7, 7},
    {"0543001", 543001, 543001},  // leading zeros do not change the base
    {"$1F", 31, 31},
    {"0x10", 16, 16},
    {"x10", 16, 16},
    {"X1f", 31, 31},
    {"-$1", -1, -1},
    {"$FFFFFFFF", -1, -1},  // hexadecimal texts are 32-bit patterns
    {"2147483647", 2147483647, 2147483647},
    {"-2147483648", -2147483647 - 1, -2147483647 - 1},
    // Refused whole, read as far as they fit by the prefix form.
    {"", std::nullopt, 0},
    {" ", std::nullopt, 0},
    {"-", std::nullopt, 0},
    {"+-5", std::nullopt, 0},
    {"$", std::nullopt, 0},
    {"0x", std::nullopt, 0},
    // "0x" is the prefix, not "0X": a 0, then what is no digit.
    {"0X1F", std::nullopt, 0},
    {"-0X10", std::nullopt, 0},
    {"0X", std::nullopt, 0},
    {"300", 300, 300},  // a reply field of three hundred (the caller keeps the low 8 bits)
    {"  7", 7, 7},
    {"1x5", std::nullopt, 1},
    {"12a", std::nullopt, 12},
    {"1 ", std::nullopt, 1},
    {"1.5", std::nullopt, 1},
    {"abc", std::nullopt, 0},
    {"$1G", std::nullopt, 1},
    {"2147483648", std::nullopt, -2147483647 - 1},  // past 32 bits: the low 32 bits
    {"$100000000", std::nullopt, 0},
    // Far past 32 bits a number must not wrap back into range: 2^32 + k and
    // 2^33 + k are refused whole (a dead time of 8589934593 is not 1).
    {"4294967297", std::nullopt, 1},
    {"8589934592", std::nullopt, 0},
    {"8589934593", std::nullopt, 1},
    {"-8589934593", std::nullopt, -1},
    {"9999999999", std::nullopt, 1410065407},
    {"$100000001", std::nullopt, 1},
    {"$200000000", std::nullopt, 0},
    {"0x200000005", std::nullopt, 5},
    {"\xd9\xa3", std::nullopt, 0},  // an Arabic-Indic three is not a digit here
};

}  // namespace

TEST(IntConversion, BothFormsOverOneGrammar) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string("text '") + c.text + "'");
    EXPECT_EQ(StrToIntPrefix(c.text), c.prefix);
    if (c.whole) {
      EXPECT_EQ(StrToInt(c.text), *c.whole);
    } else {
      try {
        StrToInt(c.text);
        ADD_FAILURE() << "accepted";
      } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), std::string("'") + c.text + "' is not a valid integer value");
      }
    }
  }
}

// Random texts over the characters the grammar cares about: no crash, and
// every text the whole-text form accepts gives the prefix form's number.
TEST(IntConversion, RandomTextsNeverCrashAndTheFormsAgree) {
  std::mt19937 rng(20261209);
  const std::string alphabet = " \t+-$xX0123456789abcdefABCDEFgz.,\xff";
  std::uniform_int_distribution<int> length(0, 14);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  int accepted = 0;
  for (int i = 0; i < 100000; ++i) {
    std::string text;
    for (int n = length(rng); n > 0; --n) text += alphabet[pick(rng)];
    const int prefix = StrToIntPrefix(text);
    try {
      const int whole = StrToInt(text);
      ++accepted;
      ASSERT_EQ(whole, prefix) << "text '" << text << "'";
    } catch (const EConvertError&) {
    }
  }
  EXPECT_GT(accepted, 1000);  // the texts did reach the accepting side
}
