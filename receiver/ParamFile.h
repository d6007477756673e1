#pragma once
// A parameter set as a file: UTF-8 text that a person can read, edit and
// compare with diff. Plain C++.
//
//   ZOV Q5r sada parametrů, verze 1
//   # Přijímač: výrobní číslo 4660 (Ser.num Hi 18, Ser.num Lo 52), ...
//   # Adresa (1) a její maskovací skupiny
//   Adr1 = 543001
//   F11 = 1
//   ...
//   Dau2 = 15
//
// The first line names the format and its version. Then one "Name = value"
// line for every field the operator sets, under the dialog's control names
// (Adr1..Adr8 whole addresses, F11..F84, P0..P5, Dead, Net, Dau1, Dau2), in
// decimal. The serial number is not among them: it stays the receiver's.
// Lines that start with "#" and blank lines are passed over; the program's
// own comments carry the dialog's labels and where the set came from.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "receiver/ParamSet.h"

namespace params {

inline constexpr std::string_view kSetFileHeader = "ZOV Q5r sada parametrů, verze ";
inline constexpr int kSetFileVersion = 1;
// A larger file is not read.
inline constexpr std::size_t kSetFileMaxBytes = 64 * 1024;

// Whether a field of the dialog is one of the set file's (Ser1 and Ser2 are
// not).
bool IsSetFileField(std::string_view field);

// Where the set came from, for the file's comments.
struct TSetOrigin {
  int SerialHi = 0, SerialLo = 0;
  int OperatorCode = 0;
  int WriteOrder = 0;
  std::string SavedAt;         // local date and time, "2026-05-03 14:22:05"
  std::string ProgramVersion;  // "4.03"
  bool FromDamagedReply = false;  // read from a reply that was not the receiver's set as it should look
};

// The file's text for the values (their Ser1 and Ser2 are not written).
std::string SetFileText(const TValues& values, const TSetOrigin& origin);

// What is wrong with a set file, and on which line (1 = the first).
class ESetFile : public std::runtime_error {
 public:
  ESetFile(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
  int Line() const { return line_; }

 private:
  int line_;
};

// A text of a file (or a file's name) as a message may show it: every
// control character (C0, DEL and, in UTF-8, C1) as its code, "\x1B", so that
// no tab, escape sequence or line break reaches the message. The messages
// of ReadSetFile show the file's text so.
std::string Printable(std::string_view text);

// The values of a whole set file, every field in its FieldRange (Ser1 and
// Ser2 are 0); or ESetFile at the first thing wrong, in the order of the
// lines: not text (a NUL byte, not UTF-8, larger than kSetFileMaxBytes), a
// wrong first line or version, a line that is not "Name = value", an
// unknown or repeated name, a value that is not a decimal number or lies
// outside the field's range; then a field missing, at the last line.
TValues ReadSetFile(std::string_view bytes);

// The first field of the set file, in tab order, whose value lies outside
// its range: "Nepovolený vstup" there. A set that passes reads back whole.
std::optional<TRefusal> CheckForSetFile(const TValues& values);

}  // namespace params
