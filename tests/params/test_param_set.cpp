// The parameter set's rules without windows: the fields cut out of the
// receiver's reply, the selection a set shows, and what a write converts,
// refuses and sends.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "params/ParamSet.h"

using namespace params;

namespace {

// A reply as the receiver gives it: a heading, 72 three-digit fields and
// the prompt.
std::string Reply(const TParamImage& image) {
  std::string text = "PARAMETRY\r\n";
  for (int i = 0; i < kParamBytes; ++i) {
    char field[8];
    std::snprintf(field, sizeof field, "%s%03u", i ? "," : "", static_cast<unsigned>(image[i]));
    text += field;
  }
  return text + "\r\nCMD>";
}

TParamImage Sample() {
  TParamImage image{};
  for (int i = 0; i < kParamBytes; ++i) image[i] = static_cast<std::uint8_t>(i * 37 + 5);
  image[16] = 8, image[17] = 73, image[18] = 25;  // address 1: 543001
  return image;
}

}  // namespace

TEST(ParamReply, FieldsAreCutByPositionFromTheFirstComma) {
  struct Case {
    const char* what;
    std::string reply;
    std::vector<std::pair<int, int>> bytes;  // field index, stored byte
  };
  const Case cases[] = {
      {"a whole reply", Reply(Sample()), {{0, 5}, {1, 42}, {16, 8}, {17, 73}, {18, 25}, {71, (71 * 37 + 5) & 0xFF}}},
      {"a comma one character in: the first field starts at the text's start", "5,170,180",
       {{0, 5}, {1, 170}, {2, 180}, {3, 0}}},
      {"no comma: fields 0 and 1 both read the start, field 2 the fifth character", "123456789CMD>",
       {{0, 123}, {1, 123}, {2, 567 & 0xFF}, {3, 9}, {4, 0}}},
      {"three hundred keeps its low 8 bits", "300,", {{0, 44}}},
      {"blanks before a digit", "  7,", {{0, 7}}},
      {"reading stops at the first character that does not fit", "1x5,", {{0, 1}}},
      {"a negative number keeps its low 8 bits", " -5,", {{0, 251}}},
      {"hexadecimal after $", "$1F,", {{0, 31}}},
      {"fields cut short by the end, then empty", "001,002,03", {{1, 2}, {2, 3}, {3, 0}, {71, 0}}},
      {"an empty text", "", {{0, 0}, {71, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TParamImage image = ParseReply(c.reply);
    for (const auto& [field, byte] : c.bytes) EXPECT_EQ(image[field], byte) << "field " << field;
  }
  EXPECT_EQ(Address(ParseReply(Reply(Sample())), 1), 543001);
}

TEST(ParamReply, SelectionOfAReadOutSet) {
  struct Case {
    int net, dau1, dau2;
    bool allNetworks;
    TTransmitters transmitters;
    int dau2After;
  };
  const Case cases[] = {
      {7, 0, 5, false, TTransmitters::All, 0},   // either 0 means all: both become 0
      {7, 5, 0, false, TTransmitters::All, 0},
      {7, 4, 4, false, TTransmitters::One, 4},
      {7, 3, 9, false, TTransmitters::Free, 9},
      {0, 0, 0, true, TTransmitters::All, 0},
  };
  for (const Case& c : cases) {
    TParamImage image{};
    image[kNetByte] = c.net, image[kDau1Byte] = c.dau1, image[kDau2Byte] = c.dau2;
    const TSelection s = ReadOutSelection(image);
    EXPECT_EQ(s.AllNetworks, c.allNetworks) << c.net;
    EXPECT_EQ(s.Transmitters, c.transmitters) << c.dau1 << " " << c.dau2;
    EXPECT_EQ(image[kDau2Byte], c.dau2After);
    EXPECT_EQ(image[kDau1Byte] == 0, c.transmitters == TTransmitters::All);
  }
}

// Random receive texts of the characters a reply is made of: cutting never
// reads outside the text, fields are at most three characters, and a field
// that is a whole integer is stored as its low 8 bits.
TEST(ParamReply, RandomRepliesAreCutSafely) {
  std::mt19937 rng(9);
  const std::string alphabet = "0123456789,,, -+$xX\r\nCMD>aF\xff";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 320);
  for (int i = 0; i < 100000; ++i) {
    std::string reply;
    for (int n = length(rng); n > 0; --n) reply += alphabet[pick(rng)];
    const TParamImage image = ParseReply(reply);
    const int field = i % kParamBytes;
    const std::string_view cut = ReplyField(reply, field);
    ASSERT_LE(cut.size(), 3u);
    try {
      ASSERT_EQ(image[field], StrToInt(cut) & 0xFF) << reply;
    } catch (const EConvertError&) {
    }
  }
}

TEST(ParamWrite, FieldsConvertCheckAndBecomeTheFrame) {
  TTexts texts = DefaultTexts(100);
  texts.Adr[1] = "2097151";
  texts.Adr[2] = "$1F8198";
  texts.P[0] = "200";   // out of its range, yet written as it stands
  texts.F[0][0] = "9";
  texts.P[3] = "300";   // a one-byte field keeps the low 8 bits
  texts.Net = "7", texts.Dau1 = "12", texts.Dau2 = "12";
  texts.Zapis = "5", texts.Op = "9";
  const TValues values = ConvertForWrite(texts);
  EXPECT_FALSE(CheckForWrite(values));
  const TParamFrame frame = WriteFrame(ImageForWrite(values, 42));
  const std::vector<int> head(frame.begin(), frame.begin() + 25);
  EXPECT_EQ(head, (std::vector<int>{0x55, 0xAA, 180, 0, 0, 0, 42, 7, 12, 12, 0, 200, 0, 0, 44, 0,
                                    0x08, 0x49, 0x19, 0x1F, 0xFF, 0xFF, 0x1F, 0x81, 0x98}));
  EXPECT_EQ(frame[40], 9);
  EXPECT_EQ(frame[71], 5);
  for (int i = 72; i < kFrameBytes; ++i) EXPECT_EQ(frame[i], 0xFF) << i;
}

TEST(ParamWrite, RefusalsNameTheFieldInTheirOrder) {
  struct Case {
    const char* what;
    void (*edit)(TTexts&);
    std::string field, message;
  };
  const Case cases[] = {
      {"address 3 above 21 bits, 1 and 2 valid", [](TTexts& t) { t.Adr[2] = "2097152"; }, "Adr3", kBadAddress},
      {"a negative address", [](TTexts& t) { t.Adr[7] = "-1"; }, "Adr8", kBadAddress},
      {"the addresses before the dead time",
       [](TTexts& t) { t.Dead = "0", t.Adr[4] = "99999999"; }, "Adr5", kBadAddress},
      {"dead time 0", [](TTexts& t) { t.Dead = "0"; }, "Dead", kBadDeadTime},
      {"dead time 256", [](TTexts& t) { t.Dead = "256"; }, "Dead", kBadDeadTime},
      {"dead time 255 and 2097151 pass", [](TTexts& t) { t.Dead = "255", t.Adr[0] = "2097151"; }, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTexts texts = DefaultTexts(100);
    c.edit(texts);
    const auto refusal = CheckForWrite(ConvertForWrite(texts));
    EXPECT_EQ(refusal ? refusal->Field : "", c.field);
    EXPECT_EQ(refusal ? refusal->Message : "", c.message);
  }
}

TEST(ParamWrite, TheFirstFieldInTabOrderThatIsNoIntegerIsNamed) {
  TTexts texts = DefaultTexts(100);
  texts.Ser2 = "";
  texts.Dead = "1,5";
  texts.F[1][2] = "x";  // F23, before Dead and Ser2 in tab order
  try {
    ConvertForWrite(texts);
    FAIL() << "converted";
  } catch (const EFieldConvertError& e) {
    EXPECT_EQ(e.Field(), "F23");
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
}

TEST(ParamLeaveChecks, RangesFromZeroToTheFieldsMaximum) {
  EXPECT_TRUE(LeaveCheckPasses("127", 127));
  EXPECT_FALSE(LeaveCheckPasses("128", 127));
  EXPECT_TRUE(LeaveCheckPasses("0", 255));
  EXPECT_FALSE(LeaveCheckPasses("-1", 255));
  EXPECT_TRUE(LeaveCheckPasses("255", 255));
  EXPECT_FALSE(LeaveCheckPasses("256", 255));
  EXPECT_THROW(LeaveCheckPasses("", 255), EConvertError);
}
