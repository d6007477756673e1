#pragma once
// Port names COM1 to COM16: the one place that says what a COM name is.
// Plain C++, no Qt.
#include <optional>
#include <string>
#include <string_view>

namespace serial {

inline constexpr int kMaxPortNumber = 16;

// The number a text names as the port object reads it: "COM" in any letter
// case may lead, the rest is a decimal number (a leading "+" allowed); a text
// that does not parse, or a number outside 1..16, names 1. So "com3", "3"
// and "COM3" name 3; "COM17", "LPT1" and "" name 1.
int ComNumberOf(std::string_view text);

// The number a text names when it names one of COM1..COM16, read as
// ComNumberOf reads it; nullopt where ComNumberOf falls back to 1 ("COM17",
// "LPT1", "").
std::optional<int> ParseComNumber(std::string_view text);

// "COM<number>".
std::string ComName(int number);

// The number of a name written exactly as the port object stores it
// ("COM1".."COM16"); 0 for any other text ("com2", "COM02", "COM17", "2").
// The port map's entries and the device lookup take only such names.
int ExactComNumber(std::string_view name);

}  // namespace serial
