#include "portmap/ComName.h"

#include <cctype>
#include <charconv>

namespace serial {

int ComNumberOf(std::string_view text) { return ParseComNumber(text).value_or(1); }

std::optional<int> ParseComNumber(std::string_view text) {
  std::string_view rest = text;
  if (rest.size() >= 3 && std::toupper(static_cast<unsigned char>(rest[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(rest[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(rest[2])) == 'M')
    rest.remove_prefix(3);
  if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);  // "+3" parses as a decimal integer too
  int number = 0;
  const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
  if (rest.empty() || ec != std::errc() || ptr != rest.data() + rest.size()) return std::nullopt;
  if (number < 1 || number > kMaxPortNumber) return std::nullopt;
  return number;
}

std::string ComName(int number) { return "COM" + std::to_string(number); }

int ExactComNumber(std::string_view name) {
  const int number = ComNumberOf(name);
  return ComName(number) == name ? number : 0;
}

}  // namespace serial
