// What the program trusts of the receiver's set: whether a reply looks like
// the set at all, and which fields a read-back shows differing from a write.
#include <gtest/gtest.h>

#include <string>

#include "params/ParamVerify.h"

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

TEST(ParamReply, WellFormedOnlyWith72WholeFieldsOf0To255AndCommasBetween) {
  const std::string good = Reply();
  const std::size_t first = good.find(',') - 3;
  const auto with = [&](std::size_t at, const std::string& s) { return std::string(good).replace(first + at, s.size(), s); };
  struct Case {
    const char* what;
    std::string reply;
    bool wellFormed;
  };
  const Case cases[] = {
      {"the receiver's set", good, true},
      {"blanks and a sign in a field still convert whole", with(4, " +7"), true},
      {"a field above 255", with(4, "256"), false},
      {"a negative field", with(4, "-01"), false},
      {"a field with a letter", with(8, "1x5"), false},
      {"a separator that is no comma", with(3, ";"), false},
      {"the last separator", with(4 * 70 + 3, " "), false},
      {"cut short in the last field", good.substr(0, first + 4 * 71 + 2), false},
      {"the first field less than three characters in", good.substr(first + 2), false},
      {"no comma at all", "CMD>", false},
      {"noise, no numbers", "\x8a\x9e,,,,CMD>", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsWellFormedReply(c.reply), c.wellFormed) << c.what;
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
      {"Mrtvý čas", 2, 0},
      {"Číslo vysílače (2)", 9, 0},
      {"Param.2", 15, 7},
      {"Adresa (3)", Address(written, 3), Address(held, 3)},
      {"Adresa (2), sloupec 4", 47, 5},
  };
  EXPECT_EQ(d, expected);
  EXPECT_EQ(DescribeDifferences(d, 2),
            "Mrtvý čas: zapsáno 2, v přijímači 0\nČíslo vysílače (2): zapsáno 9, v přijímači 0\n… a dalších 3");
}
