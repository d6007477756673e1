#pragma once
// The receiver's texts are code page 1250 bytes; these turn them into UTF-8
// for showing and back, and show raw bytes for notes and the traffic log.
#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

// UTF-8 text to code page 1250 bytes (the Czech and Slovak letters and
// ASCII; anything else becomes '?').
std::string ToCp1250(std::string_view utf8);
// The other way, for showing; bytes without a letter above show as \xNN.
std::string FromCp1250(std::string_view bytes);
// Bytes for a note or the log: CR and LF as \r and \n, other control bytes
// as \xNN, the rest as FromCp1250 shows it.
std::string Printable(std::string_view bytes);
// "0D", "FF": one byte in two hex digits.
std::string Hex2(std::uint8_t byte);

}  // namespace sim
