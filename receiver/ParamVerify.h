#pragma once
// Whether the receiver holds what was written, and whether a reply looks like
// the receiver's set at all. Plain C++.
//
// A write is checked by reading the set back ("e") and comparing it with the
// frame's first 72 bytes: the dead time (byte 2) and bytes 4..71. Bytes 0 and
// 1 (the header) and 3 (the write order) are the receiver's own.
//
// The read-out fills the fields from any reply by position; a noisy line can
// turn a reply into garbage that still fills them. A reply is well formed when
// it is what the receiver sends: 72 fields of exactly three decimal digits,
// each 000..255, a comma between each two and no digit just before the first
// or just after the last. Anything else ("$10", " +5", "18x", a missing set)
// is damaged, however its fields would convert.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "receiver/ParamSet.h"

namespace params {

bool IsWellFormedReply(std::string_view reply);

// One field whose value the receiver does not hold as written, under the
// name the dialog shows it by ("Adresa (3)", "Mrtvý čas", "Adresa (2),
// sloupec 4" for a mask-group value) and its control's name ("Adr3",
// "Dead", "F24"; "Op" for the operator code); an address as a whole number.
struct TDifference {
  std::string Name;  // UTF-8
  int Written = 0;
  int Held = 0;
  std::string Field;
  bool operator==(const TDifference&) const = default;
};

// The fields that differ, in the order of the image.
std::vector<TDifference> WriteDifferences(const TParamImage& written, const TParamImage& held);

// What the operator reads below "Zápis parametrů se nepodařilo ověřit": one
// line per field ("Mrtvý čas: zapsáno 180, v přijímači 0"), at most maxLines
// of them and then how many more there are.
std::string DescribeDifferences(const std::vector<TDifference>& differences, int maxLines = 10);

// What the read-back after a write says of it. Only a well-formed reply can
// verify a write, or show what differs: the fields of a damaged one say
// nothing of what the receiver holds.
enum class TVerdict {
  Verified,      // the receiver holds every field as written
  Differences,   // a well-formed read-back with fields that differ
  DamagedReply,  // the prompt came, but no well-formed set with it
  NoAnswer,      // no prompt
};
struct TVerification {
  TVerdict Verdict = TVerdict::NoAnswer;
  std::vector<TDifference> Differences;  // with Differences, in the image's order
};
// reply: the receive text after "e", or nothing when it held no prompt.
TVerification VerifyReadBack(const TParamImage& written, std::optional<std::string_view> reply);

inline constexpr const char* kNoAnswer = "Přijímač neodpověděl";
inline constexpr const char* kDamagedReadBack = "Odpověď přijímače je poškozená";
// Why a write did not verify, for the lines below "Zápis parametrů se
// nepodařilo ověřit": the differences (as DescribeDifferences), or one of the
// two texts above; empty for a verified write.
std::string DescribeVerification(const TVerification& verification, int maxLines = 10);

}  // namespace params
