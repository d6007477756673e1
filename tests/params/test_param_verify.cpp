// What the program trusts of the receiver's set: whether a reply looks like
// the set at all, and which fields a read-back shows differing from a write.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "receiver/ParamVerify.h"

using namespace params;

namespace {

std::string Reply(const std::string& head = "PARAMETRY\r\n") {
  std::string r = head;
  for (int i = 0; i < kParamBytes; ++i) {
    char f[8];
    std::snprintf(f, sizeof f, "%03d", (i * 37) % 256);
    r += (i ? "," : "") + std::string(f);
  }
  return r + "\r\nCMD>";
}

}  // namespace

TEST(ParamReply, WellFormedOnlyAsTheReceiverSendsIt72FieldsOfThreeDigits0To255WithCommasBetween) {
  const std::string good = Reply();
  const std::size_t first = good.find(',') - 3;
  const auto with = [&](std::size_t at, const std::string& s) { return std::string(good).replace(first + at, s.size(), s); };
  const std::size_t last = first + 4 * 71;
  struct Case {
    const char* what;
    std::string reply;
    bool wellFormed;
  };
  const Case cases[] = {
      {"the receiver's set", good, true},
      {"a field above 255", with(4, "256"), false},
      // What the operator's number grammar takes is not what the receiver
      // sends: "010" with two bits flipped reads as $10 = 16.
      {"hexadecimal after $", with(4, "$10"), false},
      {"hexadecimal after x", with(4, "x1F"), false},
      {"hexadecimal after 0x", with(4, "0x9"), false},
      {"a blank and a sign", with(4, " +5"), false},
      {"a negative zero", with(4, "-00"), false},
      {"a letter after the leading digits", with(8, "18x"), false},
      {"a digit just before the first field", std::string(good).insert(first, "7"), false},
      {"a digit just after the last field", std::string(good).insert(last + 3, "7"), false},
      {"a separator that is no comma", with(3, ";"), false},
      {"the last separator", with(4 * 70 + 3, " "), false},
      {"cut short in the last field", good.substr(0, last + 2), false},
      {"the first field less than three characters in", good.substr(first + 2), false},
      {"no comma at all", "CMD>", false},
      {"noise, no numbers", "\x8a\x9e,,,,CMD>", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsWellFormedReply(c.reply), c.wellFormed) << c.what;
}

// Only a well-formed read-back verifies a write or tells what differs; a
// damaged one says nothing of what the receiver holds, even when its fields
// convert to what was written.
TEST(ParamVerify, OnlyAWellFormedReadBackVerifiesOrListsDifferences) {
  const TParamImage written = ParseReply(Reply());  // the reply's own set
  const std::string good = Reply();
  const std::size_t dead = good.find(',') - 3 + 4 * kDeadByte;
  std::string changed = good, damaged = good;
  changed.replace(dead, 3, "180");
  damaged.replace(dead, 3, std::to_string(written[kDeadByte]).substr(0, 2) + "x");  // "74" -> "74x"
  ASSERT_EQ(ParseReply(damaged), written);  // read loosely, it would pass
  struct Case {
    const char* what;
    std::optional<std::string> reply;
    TVerdict verdict;
    std::string described;
  };
  const Case cases[] = {
      {"the set as written", good, TVerdict::Verified, ""},
      {"a field held otherwise", changed, TVerdict::Differences,
       "Mrtvý čas: zapsáno " + std::to_string(written[kDeadByte]) + ", v přijímači 180"},
      {"a damaged field", damaged, TVerdict::DamagedReply, "Odpověď přijímače je poškozená"},
      {"the prompt and no set", std::string("\r\nCMD>"), TVerdict::DamagedReply, "Odpověď přijímače je poškozená"},
      {"no prompt", std::nullopt, TVerdict::NoAnswer, "Přijímač neodpověděl"},
  };
  for (const Case& c : cases) {
    const TVerification v =
        VerifyReadBack(written, c.reply ? std::optional<std::string_view>(*c.reply) : std::nullopt);
    EXPECT_EQ(v.Verdict, c.verdict) << c.what;
    EXPECT_EQ(v.Differences.empty(), c.verdict != TVerdict::Differences) << c.what;
    EXPECT_EQ(DescribeVerification(v), c.described) << c.what;
  }
}

TEST(ParamVerify, DifferencesNameTheFieldsAsTheDialogDoesHeaderAndOrderExcepted) {
  TParamImage written{};
  for (int i = 0; i < kParamBytes; ++i) written[i] = static_cast<std::uint8_t>(i);
  TParamImage held = written;
  held[0] = 1, held[1] = 2, held[3] = 99;  // the receiver's own bytes: no difference
  EXPECT_TRUE(WriteDifferences(written, held).empty());

  held[kDeadByte] = 0;
  held[kAddressByte + 3 * 2 + 1] ^= 1;          // address 3, middle byte
  held[kMaskByte + 4 * 1 + 3] = 5;              // row 2, column 4
  held[kP1Byte + 4] = 7;                        // Param.2
  held[kDau2Byte] = 0;
  const std::vector<TDifference> d = WriteDifferences(written, held);
  const std::vector<TDifference> expected = {
      {"Mrtvý čas", 2, 0, "Dead"},
      {"Číslo vysílače (2)", 9, 0, "Dau2"},
      {"Param.2", 15, 7, "P5"},
      {"Adresa (3)", Address(written, 3), Address(held, 3), "Adr3"},
      {"Adresa (2), sloupec 4", 47, 5, "F24"},
  };
  EXPECT_EQ(d, expected);
  EXPECT_EQ(DescribeDifferences(d, 2),
            "Mrtvý čas: zapsáno 2, v přijímači 0\nČíslo vysílače (2): zapsáno 9, v přijímači 0\n… a dalších 3");
}

// Every byte a write is checked by names its control, and the control's
// label is the name shown; each field once, an address for its three bytes.
TEST(ParamVerify, EveryDifferenceNamesItsFieldAndTheFieldsLabel) {
  TParamImage written{};
  TParamImage held{};
  held.fill(1);
  std::vector<std::string> fields;
  for (const TDifference& d : WriteDifferences(written, held)) {
    EXPECT_EQ(d.Name, d.Field == "Op" ? std::string("Operátor") : FieldLabel(d.Field)) << d.Field;
    fields.push_back(d.Field);
  }
  std::vector<std::string> expected;
  ForEachField([&](const std::string& name) { expected.push_back(name); });
  expected.push_back("Op");
  std::sort(fields.begin(), fields.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(fields, expected);
}
