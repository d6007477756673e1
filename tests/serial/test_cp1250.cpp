// The check the program runs at start for the receiver's code page.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "serial/Cp1250.h"

TEST(Cp1250, ThisQtDecodesTheReceiversTextsAndAWrongOrMissingCodecIsRefused) {
  EXPECT_NO_THROW(RequireCp1250Decoder());
  for (const char* codec : {"no-such-codec", "ISO-8859-2"}) {
    try {
      RequireCp1250Decoder(codec);
      ADD_FAILURE() << codec << " accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(codec), std::string::npos) << e.what();
    }
  }
}
