#include "receiver/ParamFile.h"

#include <algorithm>
#include <map>
#include <vector>

namespace params {

namespace {

std::string Quoted(std::string_view text) { return "„" + std::string(text) + "“"; }

// The program's comments in the file, each before the field it names.
const std::map<std::string, std::string, std::less<>>& Labels() {
  static const std::map<std::string, std::string, std::less<>> labels = [] {
    std::map<std::string, std::string, std::less<>> l;
    for (int n = 1; n <= 8; ++n)
      l["Adr" + std::to_string(n)] = "Adresa (" + std::to_string(n) + "), 0 až 2097151, a její maskovací skupiny F" +
                                     std::to_string(n) + "1 až F" + std::to_string(n) + "4, 1 až 5";
    l["P1"] = "MSKP GRUPY A, B, C (0 až 127)";
    l["P4"] = "Param. 1, Param.2 (0 až 255)";
    l["P0"] = "Tón tlačítka (0 až 5; 0 = houká po dobu stisknutí)";
    l["Dead"] = "Mrtvý čas (1 až 255)";
    l["Net"] = "Číslo sítě (1 až 15; 0 = všechny sítě a vysílače)";
    l["Dau1"] = "Číslo vysílače (1 až 31; obě 0 = všechny vysílače, dvě stejná čísla = jeden vysílač)";
    return l;
  }();
  return labels;
}

// Every set file field of values by name.
std::map<std::string, int*, std::less<>> FieldsByName(TValues& values) {
  std::map<std::string, int*, std::less<>> fields;
  ForEachField(
      [&](const std::string& name, int& value) {
        if (IsSetFileField(name)) fields[name] = &value;
      },
      values);
  return fields;
}

std::string_view Trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// At most 24 bytes of a text the file holds, cut at a character's start,
// for a message.
std::string Shown(std::string_view text) {
  if (text.size() <= 24) return Printable(text);
  std::size_t cut = 24;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return Printable(text.substr(0, cut)) + "…";
}

// Where the line that starts at from ends, and where the next one starts:
// a line ends with LF, CR LF or a CR alone (as some editors still save).
struct TLineEnd {
  std::size_t end, next;
};
TLineEnd LineEnd(std::string_view bytes, std::size_t from) {
  const std::size_t end = std::min(bytes.find_first_of("\r\n", from), bytes.size());
  if (end == bytes.size()) return {end, end};
  return {end, end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1)};
}

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    int extra = 0;
    unsigned min = 0, cp = 0;
    if (c < 0x80) extra = 0, cp = c;
    else if (c >= 0xC2 && c <= 0xDF) extra = 1, cp = c & 0x1F, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2, cp = c & 0x0F, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3, cp = c & 0x07, min = 0x10000;
    else return false;
    if (text.size() - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += 1 + extra;
  }
  return true;
}

// A decimal number with an optional minus, as far as it goes: values too
// large for an int come out as a number outside every range.
std::optional<long long> Decimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  long long n = 0;
  for (char c : text) n = std::min(n * 10 + (c - '0'), 1LL << 40);
  return negative ? -n : n;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  const auto code = [&](unsigned c) {
    static const char* const kHex = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
    if (c < 0x20 || c == 0x7F) {
      code(c);
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      code(next);
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool IsSetFileField(std::string_view field) { return field != "Ser1" && field != "Ser2"; }

std::string SetFileText(const TValues& values, const TSetOrigin& origin) {
  std::string text = std::string(kSetFileHeader) + std::to_string(kSetFileVersion) + "\n";
  text += "# Sada parametrů přijímače ZOV Q5r: řádky „název = hodnota“, čísla desítkově.\n";
  text += "# Řádky s # program při načtení přeskočí.\n";
  text += "# Přijímač: výrobní číslo " + std::to_string(origin.SerialHi * 256 + origin.SerialLo) +
          " (Ser.num Hi " + std::to_string(origin.SerialHi) + ", Ser.num Lo " + std::to_string(origin.SerialLo) +
          "), operátor " + std::to_string(origin.OperatorCode) + ", pořadí zápisu " +
          std::to_string(origin.WriteOrder) + "\n";
  text += "# Uloženo: " + origin.SavedAt + ", ZOV Q5r " + origin.ProgramVersion + "\n";
  if (origin.FromDamagedReply)
    text += "# Pozor: hodnoty pocházejí z poškozené odpovědi přijímače a nemusí odpovídat přijímači.\n";
  ForEachField(
      [&](const std::string& name, const int& value) {
        if (!IsSetFileField(name)) return;
        if (const auto label = Labels().find(name); label != Labels().end()) text += "\n# " + label->second + "\n";
        text += name + " = " + std::to_string(value) + "\n";
      },
      values);
  return text;
}

TValues ReadSetFile(std::string_view bytes) {
  if (bytes.size() > kSetFileMaxBytes) {
    int line = 1;
    for (std::size_t at = LineEnd(bytes, 0).next; at < kSetFileMaxBytes; at = LineEnd(bytes, at).next) ++line;
    throw ESetFile(line, "soubor je větší než 64 KiB");
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);  // a byte order mark some editors add

  TValues values;
  const auto fields = FieldsByName(values);
  std::map<std::string, int, std::less<>> seen;  // name, line
  int line = 0;
  std::size_t from = 0;
  while (from < bytes.size()) {
    const TLineEnd end = LineEnd(bytes, from);
    const std::string_view raw = bytes.substr(from, end.end - from);
    from = end.next;
    ++line;
    if (raw.find('\0') != std::string_view::npos) throw ESetFile(line, "soubor není text (obsahuje bajt 0)");
    if (!IsUtf8(raw)) throw ESetFile(line, "soubor není text v kódování UTF-8");
    const std::string_view text = Trimmed(raw);
    if (line == 1) {
      const std::string_view version = text.starts_with(kSetFileHeader) ? text.substr(kSetFileHeader.size()) : "";
      if (version.empty())
        throw ESetFile(line, "soubor není sada parametrů (první řádek má být " +
                                 Quoted(std::string(kSetFileHeader) + std::to_string(kSetFileVersion)) + ")");
      if (version != std::to_string(kSetFileVersion))
        throw ESetFile(line, "verzi " + Quoted(Shown(version)) + " program nezná (zná verzi " +
                                 std::to_string(kSetFileVersion) + ")");
      continue;
    }
    if (text.empty() || text.front() == '#') continue;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) throw ESetFile(line, "řádek není ve tvaru „název = hodnota“");
    const std::string_view name = Trimmed(text.substr(0, equals));
    const std::string_view value = Trimmed(text.substr(equals + 1));
    const auto field = fields.find(name);
    if (field == fields.end()) throw ESetFile(line, "neznámý název " + Quoted(Shown(name)));
    if (const auto before = seen.find(name); before != seen.end())
      throw ESetFile(line, Quoted(name) + " je v souboru podruhé (poprvé na řádku " +
                               std::to_string(before->second) + ")");
    seen.emplace(name, line);
    const std::optional<long long> number = Decimal(value);
    if (!number) throw ESetFile(line, Quoted(name) + ": " + Quoted(Shown(value)) + " není desítkové číslo");
    const TRange range = FieldRange(name);
    if (*number < range.Min || *number > range.Max)
      throw ESetFile(line, Quoted(name) + " = " + Shown(value) + " je mimo rozsah " + std::to_string(range.Min) +
                               " až " + std::to_string(range.Max));
    *field->second = static_cast<int>(*number);
  }
  if (line == 0) throw ESetFile(1, "soubor je prázdný");
  std::string missing;
  ForEachField([&](const std::string& name) {
    if (missing.empty() && IsSetFileField(name) && !seen.contains(name)) missing = name;
  });
  if (!missing.empty()) throw ESetFile(line, "chybí " + Quoted(missing) + " (konec souboru)");
  return values;
}

std::optional<TRefusal> CheckForSetFile(const TValues& values) {
  std::optional<TRefusal> refusal;
  ForEachField(
      [&](const std::string& name, const int& value) {
        const TRange range = FieldRange(name);
        if (!refusal && IsSetFileField(name) && (value < range.Min || value > range.Max))
          refusal = TRefusal{name, kBadInput};
      },
      values);
  return refusal;
}

}  // namespace params
