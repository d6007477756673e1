// The receiver's code page: the check the program runs at start, and the
// decoding the dialogs show the receiver's bytes with.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "link/Cp1250.h"

TEST(Cp1250, ThisQtDecodesTheReceiversTextsAndAWrongOrMissingCodecIsRefused) {
  EXPECT_NO_THROW(RequireCp1250Decoder());
  // What the dialogs show of the receiver's bytes goes through that decoder.
  EXPECT_EQ(FromReceiver("\x8A\xE8 \x9E\xE1r"), QString::fromUtf8("Šč žár"));
  for (const char* codec : {"no-such-codec", "ISO-8859-2"}) {
    try {
      RequireCp1250Decoder(codec);
      ADD_FAILURE() << codec << " accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(codec), std::string::npos) << e.what();
    }
  }
}
