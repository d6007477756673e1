// The parameter set's rules without windows: the fields cut out of the
// receiver's reply, and what a write converts and refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "receiver/ParamSet.h"

using namespace params;

TEST(ParamReply, FieldsAreCutByPositionFromTheFirstComma) {
  std::string whole = "PARAMETRY\r\n";
  for (int i = 0; i < kParamBytes; ++i) whole += (i ? "," : "") + std::to_string(100 + i * 2);
  whole.replace(whole.find("132,134,136"), 11, "008,073,025");  // address 1: 543001
  struct Case {
    const char* what;
    std::string reply;
    std::vector<std::pair<int, int>> bytes;  // field, stored byte
  };
  const Case cases[] = {
      {"a whole reply", whole + "\r\nCMD>", {{0, 100}, {1, 102}, {16, 8}, {17, 73}, {18, 25}, {71, 242}}},
      {"a comma one character in: the first field starts at the start", "5,170,180", {{0, 5}, {1, 170}, {2, 180}}},
      {"no comma: fields 0 and 1 read the start, field 2 the fifth character", "123456789CMD>",
       {{0, 123}, {1, 123}, {2, 567 & 0xFF}, {3, 9}, {4, 0}}},
      {"three hundred keeps its low 8 bits", "300,", {{0, 44}}},
      {"blanks before a digit", "  7,", {{0, 7}}},
      {"reading stops where the number does", "1x5,", {{0, 1}}},
      {"minus five keeps its low 8 bits", " -5,", {{0, 251}}},
      {"hexadecimal after $", "$1F,", {{0, 31}}},
      {"fields cut short by the end, then empty", "001,002,03", {{1, 2}, {2, 3}, {3, 0}, {71, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TParamImage image = ParseReply(c.reply);
    for (const auto& [field, byte] : c.bytes) EXPECT_EQ(image[field], byte) << "field " << field;
  }
  EXPECT_EQ(Address(ParseReply(whole), 1), 543001);
}

// Random replies: the receiver's 72 fields come back byte for byte,
// whatever stands before the first comma and after the last field, so a cut
// at a wrong place shows. Random noise of the characters replies are made
// of is cut without reading outside the text (the sanitizer build sees any
// such read) and never into more than three characters.
TEST(ParamReply, RandomRepliesComeBackFieldForFieldAndNoiseIsCutSafely) {
  std::mt19937 rng(9);
  const std::string noComma = "0123456789 -+$xX\r\nCMD>aF\xff";
  const std::string alphabet = noComma + ",,,";
  auto randomText = [&](const std::string& from, int longest) {
    std::string text;
    for (int n = std::uniform_int_distribution<int>(0, longest)(rng); n > 0; --n)
      text += from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    TParamImage sent;
    std::string reply = randomText(noComma, 40);
    for (int f = 0; f < kParamBytes; ++f) {
      sent[f] = static_cast<std::uint8_t>(rng() & 0xFF);
      char field[8];
      std::snprintf(field, sizeof field, "%s%03d", f ? "," : "", sent[f]);
      reply += field;
    }
    reply += randomText(alphabet, 40);
    ASSERT_EQ(ParseReply(reply), sent) << reply;

    const std::string noise = randomText(alphabet, 320);
    (void)ParseReply(noise);
    ASSERT_LE(ReplyField(noise, i % kParamBytes).size(), 3u) << noise;
  }
}

TEST(ParamWrite, FirstNonIntegerInTabOrderThenAddressesThenDeadTime) {
  struct Case {
    const char* what;
    void (*edit)(TTexts&);
    std::string field, message;
  };
  const Case cases[] = {
      {"F23 before Dead and Ser2 in tab order", [](TTexts& t) { t.Ser2 = "", t.Dead = "1,5", t.F[1][2] = "x"; },
       "F23", "'x' is not a valid integer value"},
      {"address 3 above 21 bits, 1 and 2 valid", [](TTexts& t) { t.Adr[2] = "2097152"; }, "Adr3", kBadAddress},
      {"a negative address", [](TTexts& t) { t.Adr[7] = "-1"; }, "Adr8", kBadAddress},
      {"the addresses before the dead time", [](TTexts& t) { t.Dead = "0", t.Adr[4] = "99999999"; }, "Adr5",
       kBadAddress},
      {"dead time 0", [](TTexts& t) { t.Dead = "0"; }, "Dead", kBadDeadTime},
      {"dead time 256", [](TTexts& t) { t.Dead = "256"; }, "Dead", kBadDeadTime},
      {"dead time 255 and address 2097151 pass", [](TTexts& t) { t.Dead = "255", t.Adr[0] = "2097151"; }, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTexts texts = DefaultTexts(100);
    c.edit(texts);
    std::string field, message;
    try {
      if (const auto refusal = CheckForWrite(ConvertForWrite(texts))) field = refusal->Field, message = refusal->Message;
    } catch (const EFieldConvertError& e) {
      field = e.Field(), message = e.what();
    }
    EXPECT_EQ(field, c.field);
    EXPECT_EQ(message, c.message);
  }
}
