#include "sim/Cp1250.h"

#include <cstdio>

namespace sim {

namespace {

// The letters of Czech and Slovak and a few signs a receiver's texts use,
// with their code page 1250 bytes.
struct Mapping {
  char32_t code;
  unsigned char byte;
};
constexpr Mapping kMap[] = {
    {U'á', 0xE1}, {U'Á', 0xC1}, {U'ä', 0xE4}, {U'Ä', 0xC4}, {U'č', 0xE8}, {U'Č', 0xC8},
    {U'ď', 0xEF}, {U'Ď', 0xCF}, {U'é', 0xE9}, {U'É', 0xC9}, {U'ě', 0xEC}, {U'Ě', 0xCC},
    {U'í', 0xED}, {U'Í', 0xCD}, {U'ĺ', 0xE5}, {U'Ĺ', 0xC5}, {U'ľ', 0xBE}, {U'Ľ', 0xBC},
    {U'ň', 0xF2}, {U'Ň', 0xD2}, {U'ó', 0xF3}, {U'Ó', 0xD3}, {U'ô', 0xF4}, {U'Ô', 0xD4},
    {U'ŕ', 0xE0}, {U'Ŕ', 0xC0}, {U'ř', 0xF8}, {U'Ř', 0xD8}, {U'š', 0x9A}, {U'Š', 0x8A},
    {U'ť', 0x9D}, {U'Ť', 0x8D}, {U'ú', 0xFA}, {U'Ú', 0xDA}, {U'ů', 0xF9}, {U'Ů', 0xD9},
    {U'ý', 0xFD}, {U'Ý', 0xDD}, {U'ž', 0x9E}, {U'Ž', 0x8E}, {U'§', 0xA7}, {U'°', 0xB0},
    {U'–', 0x96}, {U'„', 0x84}, {U'“', 0x93},
};

}  // namespace

std::string ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    char32_t code = 0;
    int extra = 0;
    if (c < 0x80) { out += static_cast<char>(c); ++i; continue; }
    if ((c & 0xE0) == 0xC0) { code = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { code = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { code = c & 0x07; extra = 3; }
    else { out += '?'; ++i; continue; }
    bool ok = i + static_cast<std::size_t>(extra) < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(utf8[i + k]);
      if ((d & 0xC0) != 0x80) { ok = false; break; }
      code = (code << 6) | (d & 0x3F);
    }
    if (!ok) { out += '?'; ++i; continue; }
    i += 1 + extra;
    unsigned char byte = '?';
    for (const auto& m : kMap)
      if (m.code == code) { byte = m.byte; break; }
    out += static_cast<char>(byte);
  }
  return out;
}

std::string FromCp1250(std::string_view bytes) {
  std::string out;
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) { out += ch; continue; }
    char32_t code = 0;
    for (const auto& m : kMap)
      if (m.byte == b) { code = m.code; break; }
    if (code == 0) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
      continue;
    }
    if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

std::string Printable(std::string_view bytes) {
  std::string s;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u == '\r') s += "\\r";
    else if (u == '\n') s += "\\n";
    else if (u < 0x20 || u == 0x7F) s += "\\x" + Hex2(u);
    else s += FromCp1250(std::string_view(&c, 1));
  }
  return s;
}

std::string Hex2(std::uint8_t byte) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", byte);
  return buf;
}

}  // namespace sim
