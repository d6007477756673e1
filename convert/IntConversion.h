#pragma once
// The one integer conversion of the program, in two forms over the same
// grammar: optional leading blanks (space or tab), an optional sign, then
// decimal digits, or hexadecimal ones after "$", "x", "X" or "0x" (not
// "0X").
//
// - StrToInt, for operator input: the whole text must fit the grammar, with
//   at least one digit, and the value must fit in 32 bits (a hexadecimal
//   text gives the 32-bit pattern, so "$FFFFFFFF" is -1). Otherwise it
//   throws EConvertError "'<text>' is not a valid integer value".
// - StrToIntPrefix, for fields cut out of a receiver's reply: reads as far
//   as the text fits the grammar and returns the number read up to there
//   (an empty or unfitting text gives 0); it never fails. Wherever StrToInt
//   accepts a text, both give the same number; past 32 bits the prefix form
//   keeps the low 32 bits.
//
// Texts are UTF-8; only ASCII digits and letters count as digits.
#include <stdexcept>
#include <string>
#include <string_view>

// A text that is not an integer.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int StrToInt(std::string_view text);
int StrToIntPrefix(std::string_view text);
