#include "convert/IntConversion.h"

#include <cstdint>

namespace {

struct TScan {
  std::uint32_t bits = 0;     // the value read, modulo 2^32, sign applied
  std::size_t end = 0;        // where reading stopped
  int digits = 0;
  bool hex = false;
  bool negative = false;
  bool overflow = false;      // the magnitude left the range of a 32-bit integer
};

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

TScan Scan(std::string_view text) {
  TScan s;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < n && (text[i] == '-' || text[i] == '+')) s.negative = text[i++] == '-';
  if (i < n && text[i] == '$') {
    s.hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && text[i + 1] == 'x') {
    // Only a lower-case x after the 0: "0X1F" is a 0 and then no number.
    s.hex = true;
    i += 2;
  } else if (i < n && (text[i] == 'x' || text[i] == 'X')) {
    s.hex = true;
    ++i;
  }
  const int base = s.hex ? 16 : 10;
  // Decimal texts may reach 2^31 (the magnitude of the lowest value),
  // hexadecimal ones 2^32 - 1 (any 32-bit pattern).
  const std::uint64_t limit = s.hex ? 0xFFFFFFFFull : (s.negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t magnitude = 0;
  for (; i < n; ++i) {
    const int d = DigitValue(text[i]);
    if (d < 0 || d >= base) break;
    ++s.digits;
    // Once past the limit the magnitude stays there: a number never wraps
    // back into range, however many digits follow.
    if (!s.overflow) {
      magnitude = magnitude * base + static_cast<std::uint64_t>(d);
      if (magnitude > limit) s.overflow = true;
    }
    s.bits = s.bits * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
  }
  if (s.negative) s.bits = 0u - s.bits;
  s.end = i;
  return s;
}

}  // namespace

int StrToInt(std::string_view text) {
  const TScan s = Scan(text);
  if (s.digits == 0 || s.end != text.size() || s.overflow)
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return static_cast<std::int32_t>(s.bits);
}

int StrToIntPrefix(std::string_view text) { return static_cast<std::int32_t>(Scan(text).bits); }
