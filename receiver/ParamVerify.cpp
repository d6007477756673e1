#include "receiver/ParamVerify.h"

#include <algorithm>

namespace params {

bool IsWellFormedReply(std::string_view reply) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const std::size_t comma = reply.find(',');
  if (comma == std::string_view::npos || comma < 3) return false;
  const std::size_t first = comma - 3;
  // 72 fields of three characters, one character apart: the last one ends
  // 4 * 72 - 1 characters after the first one starts.
  const std::size_t end = first + 4 * kParamBytes - 1;
  if (reply.size() < end) return false;
  // A digit next to the set means a field longer than three digits.
  if ((first > 0 && digit(reply[first - 1])) || (end < reply.size() && digit(reply[end]))) return false;
  for (int i = 0; i < kParamBytes; ++i) {
    const std::size_t at = first + 4 * static_cast<std::size_t>(i);
    if (i < kParamBytes - 1 && reply[at + 3] != ',') return false;
    const std::string_view field = reply.substr(at, 3);
    if (!std::all_of(field.begin(), field.end(), digit)) return false;
    if ((field[0] - '0') * 100 + (field[1] - '0') * 10 + (field[2] - '0') > 255) return false;
  }
  return true;
}

TVerification VerifyReadBack(const TParamImage& written, std::optional<std::string_view> reply) {
  if (!reply) return {TVerdict::NoAnswer, {}};
  if (!IsWellFormedReply(*reply)) return {TVerdict::DamagedReply, {}};
  std::vector<TDifference> differences = WriteDifferences(written, ParseReply(*reply));
  if (differences.empty()) return {TVerdict::Verified, {}};
  return {TVerdict::Differences, std::move(differences)};
}

std::string DescribeVerification(const TVerification& verification, int maxLines) {
  switch (verification.Verdict) {
    case TVerdict::Verified: return {};
    case TVerdict::Differences: return DescribeDifferences(verification.Differences, maxLines);
    case TVerdict::DamagedReply: return kDamagedReadBack;
    case TVerdict::NoAnswer: return kNoAnswer;
  }
  return {};
}

namespace {

// The control of a one-byte field by its place in the image ("Op", the
// operator code's panel, for byte 6).
std::string ByteField(int byte) {
  switch (byte) {
    case kDeadByte: return "Dead";
    case kSerHiByte: return "Ser1";
    case kSerLoByte: return "Ser2";
    case kOperatorByte: return "Op";
    case kNetByte: return "Net";
    case kDau1Byte: return "Dau1";
    case kDau2Byte: return "Dau2";
    case kToneByte: return "P0";
    default: return byte > kToneByte && byte < kAddressByte ? "P" + std::to_string(byte - kToneByte) : "";
  }
}

// Its label (the operator code is no field: its panel's label).
std::string ByteName(int byte) { return byte == kOperatorByte ? "Operátor" : FieldLabel(ByteField(byte)); }

}  // namespace

std::vector<TDifference> WriteDifferences(const TParamImage& written, const TParamImage& held) {
  std::vector<TDifference> out;
  for (int byte = kDeadByte; byte < kAddressByte; ++byte) {
    if (byte == kOrderByte || written[byte] == held[byte]) continue;
    out.push_back({ByteName(byte), written[byte], held[byte], ByteField(byte)});
  }
  for (int n = 1; n <= 8; ++n) {
    const std::string field = "Adr" + std::to_string(n);
    if (Address(written, n) != Address(held, n))
      out.push_back({FieldLabel(field), Address(written, n), Address(held, n), field});
  }
  for (int n = 1; n <= 8; ++n) {
    for (int c = 1; c <= 4; ++c) {
      const int byte = kMaskByte + 4 * (n - 1) + (c - 1);
      const std::string field = "F" + std::to_string(n) + std::to_string(c);
      if (written[byte] != held[byte]) out.push_back({FieldLabel(field), written[byte], held[byte], field});
    }
  }
  return out;
}

std::string DescribeDifferences(const std::vector<TDifference>& differences, int maxLines) {
  std::string text;
  const int shown = std::min(static_cast<int>(differences.size()), maxLines);
  for (int i = 0; i < shown; ++i) {
    const TDifference& d = differences[static_cast<std::size_t>(i)];
    if (i) text += '\n';
    text += d.Name + ": zapsáno " + std::to_string(d.Written) + ", v přijímači " + std::to_string(d.Held);
  }
  const int rest = static_cast<int>(differences.size()) - shown;
  if (rest > 0) text += "\n… a dalších " + std::to_string(rest);
  return text;
}

}  // namespace params
