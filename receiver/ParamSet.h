#pragma once
// The receiver's parameter set and the rules around it, without widgets.
//
// The set is a 72-byte image. The receiver answers "e" with the same 72
// bytes as decimal fields of three characters, one character apart ("085,
// 170,180,..."), and takes them back after "z" as raw bytes in a 128-byte
// frame (the image, then 56 bytes of 0xFF).
//
//   byte    content                                     field
//   0, 1    header, 0x55 0xAA in a write                -
//   2       dead time                                   Dead
//   3       write order (a write sends 0)               Zapis, shown only
//   4, 5    serial number, high and low byte            Ser1, Ser2
//   6       operator code (a write sends the login's)   Op, shown only
//   7       network, 0 = all                            Net
//   8, 9    transmitters, 0 = all                       Dau1, Dau2
//   10      key tone                                    P0
//   11..15  MSKP GRUPY A, B, C, Param. 1, Param.2       P1..P5
//   16..39  address n at 16 + 3(n-1), high byte first   Adr1..Adr8
//   40..71  mask-group value c of address n at          F11..F84
//           40 + 4(n-1) + (c-1)
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "convert/IntConversion.h"

inline constexpr int kParamBytes = 72;
inline constexpr int kFrameBytes = 128;
using TParamImage = std::array<std::uint8_t, kParamBytes>;
using TParamFrame = std::array<std::uint8_t, kFrameBytes>;

// The program's one copy of the set: the read-out fills it, the write
// rebuilds it from the dialog's fields.
extern TParamImage ParamImage;

namespace params {

// Where the fields are in the image (see the table above).
inline constexpr int kDeadByte = 2;
inline constexpr int kOrderByte = 3;
inline constexpr int kSerHiByte = 4;
inline constexpr int kSerLoByte = 5;
inline constexpr int kOperatorByte = 6;
inline constexpr int kNetByte = 7;
inline constexpr int kDau1Byte = 8;
inline constexpr int kDau2Byte = 9;
inline constexpr int kToneByte = 10;
inline constexpr int kP1Byte = 11;
inline constexpr int kAddressByte = 16;
inline constexpr int kMaskByte = 40;
inline constexpr std::uint8_t kHeader[2] = {0x55, 0xAA};
inline constexpr int kMaxAddress = 2097151;  // 21 bits: the high byte is 0..31

// fn(name, field, ...) for every editable field of the dialog, by its
// control's name in the dialog's tab order: Adr1, F11..F14, Adr2, ... F84,
// P1..P5, P0, Dead, Net, Dau1, Dau2, Ser1, Ser2. Walks several sets of
// fields (TFields below, of any types) side by side.
template <typename Fn, typename... Fields>
void ForEachField(Fn&& fn, Fields&... f) {
  for (int n = 0; n < 8; ++n) {
    fn("Adr" + std::to_string(n + 1), f.Adr[n]...);
    for (int c = 0; c < 4; ++c) fn("F" + std::to_string(n + 1) + std::to_string(c + 1), f.F[n][c]...);
  }
  for (int i = 0; i < 5; ++i) fn("P" + std::to_string(i + 1), f.P[i]...);
  fn(std::string("P0"), f.P0...);
  fn(std::string("Dead"), f.Dead...);
  fn(std::string("Net"), f.Net...);
  fn(std::string("Dau1"), f.Dau1...);
  fn(std::string("Dau2"), f.Dau2...);
  fn(std::string("Ser1"), f.Ser1...);
  fn(std::string("Ser2"), f.Ser2...);
}

// The label the dialog shows a field by: "Adresa (3)" for Adr3, "Adresa
// (2), sloupec 3" for F23, "Mrtvý čas" for Dead, "MSKP GRUPY A" for P1,
// "Číslo vysílače (1)" for Dau1...; "" for a name that is no field.
std::string FieldLabel(std::string_view field);

// The serial number of a set: Ser.num Hi * 256 + Ser.num Lo.
int SerialNumber(const TParamImage& image);

// The dialog's editable fields, of one type each: their texts or their
// numbers.
template <typename T>
struct TFields {
  std::array<T, 8> Adr{};
  std::array<std::array<T, 4>, 8> F{};  // F[n-1][c-1] is Fnc
  std::array<T, 5> P{};                 // P1..P5
  T P0{}, Dead{}, Net{}, Dau1{}, Dau2{}, Ser1{}, Ser2{};
};

// What the dialog shows: the fields' texts (UTF-8) and the two panels.
struct TTexts : TFields<std::string> {
  std::string Op, Zapis;
};
using TValues = TFields<int>;

// ---------------------------------------------------------------- read-out

// Field i (0..71) of a reply: the three characters that start three before
// the first comma, plus 4i. A start before the text's first character counts
// as that character (no comma at all counts as a comma just before the
// text); a field running past the end is cut short there.
std::string_view ReplyField(std::string_view reply, int i);
// Every field read as far as it is a number (leading blanks, sign, decimal
// or "$"/"x"/"0x" hexadecimal; empty is 0), keeping the low 8 bits.
TParamImage ParseReply(std::string_view reply);

// What the three selection boxes show for a set.
enum class TTransmitters {
  All,   // "Všechny vysílače": both numbers 0
  One,   // "Pouze jeden vysílač": the same number twice
  Free,  // neither box: two numbers as entered
};
struct TSelection {
  bool AllNetworks = false;  // "Všechny sítě a vysílače": network 0
  TTransmitters Transmitters = TTransmitters::Free;
};
// The selection of a read-out set. A set with either transmitter 0 means
// all transmitters: both bytes 8 and 9 become 0 in image.
TSelection ReadOutSelection(TParamImage& image);

// Address n (1..8): high * 65536 + middle * 256 + low.
int Address(const TParamImage& image, int n);
// The fields and panels as the read-out shows them: plain decimal numbers.
TTexts ImageTexts(const TParamImage& image);
// The preset values of "Default".
TTexts DefaultTexts(std::uint8_t operatorCode);

// ---------------------------------------------------------------- write

// A field whose text is not an integer; what() is the conversion's error.
class EFieldConvertError : public EConvertError {
 public:
  EFieldConvertError(std::string field, const EConvertError& error)
      : EConvertError(error), field_(std::move(field)) {}
  const std::string& Field() const { return field_; }

 private:
  std::string field_;
};

// Every field the write needs, each whole text an integer; the first one
// in tab order that is not throws EFieldConvertError.
TValues ConvertForWrite(const TTexts& texts);

// What the dialog lets a field hold when it writes it, the lowest and the
// highest value: the spin edits' ranges, with the dead time from 1 and the
// network and the transmitters from 0 (all of them, through the selection
// boxes); the leave checks' limits; the addresses' 21 bits.
struct TRange {
  int Min;
  int Max;
};
TRange FieldRange(std::string_view field);

// A write refused before anything is sent: the field to go back to and the
// message for the operator.
struct TRefusal {
  std::string Field;
  std::string Message;
};
inline constexpr const char* kBadAddress = "Neplatná adresa";
inline constexpr const char* kBadDeadTime = "Mrtvý čas musí být v rozsahu 1-255";
// The addresses in order (0..2097151), then the dead time (1..255).
std::optional<TRefusal> CheckForWrite(const TValues& values);

// The image a write sends: headers 0x55 0xAA, byte 3 = 0, byte 6 = the
// operator code of the login, every other one-byte field's low 8 bits,
// the addresses as three bytes, high first.
TParamImage ImageForWrite(const TValues& values, std::uint8_t operatorCode);
// The image, then 0xFF up to 128 bytes.
TParamFrame WriteFrame(const TParamImage& image);

// ---------------------------------------------------------------- leave checks

// The text fields checked as the operator leaves them, with their highest
// value (the lowest is 0).
struct TLeaveCheck {
  const char* Field;
  int Max;
};
inline constexpr TLeaveCheck kLeaveChecks[] = {{"P1", 127}, {"P2", 127}, {"P3", 127}, {"P4", 255},
                                               {"P5", 255}, {"Ser1", 255}, {"Ser2", 255}};
inline constexpr const char* kBadInput = "Nepovolený vstup";
// Whether text is a number 0..max; throws EConvertError when it is not an
// integer at all.
bool LeaveCheckPasses(std::string_view text, int max);

}  // namespace params
