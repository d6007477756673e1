#include "receiver/ParamSet.h"

#include <algorithm>

TParamImage ParamImage{};

namespace params {

namespace {

std::string Decimal(int n) { return std::to_string(n); }

}  // namespace

std::string FieldLabel(std::string_view field) {
  static const std::pair<std::string_view, const char*> kLabels[] = {
      {"P0", "Tón tlačítka"},        {"P1", "MSKP GRUPY A"},       {"P2", "MSKP GRUPY B"},
      {"P3", "MSKP GRUPY C"},        {"P4", "Param. 1"},           {"P5", "Param.2"},
      {"Dead", "Mrtvý čas"},         {"Net", "Číslo sítě"},        {"Dau1", "Číslo vysílače (1)"},
      {"Dau2", "Číslo vysílače (2)"}, {"Ser1", "Ser.num Hi"},       {"Ser2", "Ser.num Lo"}};
  for (const auto& [name, label] : kLabels)
    if (field == name) return label;
  const auto digit = [](char c) { return c >= '1' && c <= '8'; };
  if (field.size() == 4 && field.starts_with("Adr") && digit(field[3]))
    return "Adresa (" + std::string(1, field[3]) + ")";
  if (field.size() == 3 && field[0] == 'F' && digit(field[1]) && field[2] >= '1' && field[2] <= '4')
    return "Adresa (" + std::string(1, field[1]) + "), sloupec " + std::string(1, field[2]);
  return {};
}

int SerialNumber(const TParamImage& image) { return image[kSerHiByte] * 256 + image[kSerLoByte]; }

// ---------------------------------------------------------------- read-out

std::string_view ReplyField(std::string_view reply, int i) {
  const std::size_t comma = reply.find(',');
  // The first field ends just before the first comma.
  const long long first = comma == std::string_view::npos ? -4 : static_cast<long long>(comma) - 3;
  const long long start = std::max(0LL, first + 4LL * i);
  if (start >= static_cast<long long>(reply.size())) return {};
  return reply.substr(static_cast<std::size_t>(start), 3);
}

TParamImage ParseReply(std::string_view reply) {
  TParamImage image{};
  for (int i = 0; i < kParamBytes; ++i)
    image[i] = static_cast<std::uint8_t>(StrToIntPrefix(ReplyField(reply, i)) & 0xFF);
  return image;
}

TSelection ReadOutSelection(TParamImage& image) {
  TSelection s;
  s.AllNetworks = image[kNetByte] == 0;
  if (image[kDau1Byte] == 0 || image[kDau2Byte] == 0) {
    image[kDau1Byte] = image[kDau2Byte] = 0;
    s.Transmitters = TTransmitters::All;
  } else if (image[kDau1Byte] == image[kDau2Byte]) {
    s.Transmitters = TTransmitters::One;
  } else {
    s.Transmitters = TTransmitters::Free;
  }
  return s;
}

int Address(const TParamImage& image, int n) {
  const int at = kAddressByte + 3 * (n - 1);
  return image[at] * 65536 + image[at + 1] * 256 + image[at + 2];
}

TTexts ImageTexts(const TParamImage& image) {
  TTexts t;
  t.Dead = Decimal(image[kDeadByte]);
  t.Zapis = Decimal(image[kOrderByte]);
  t.Ser1 = Decimal(image[kSerHiByte]);
  t.Ser2 = Decimal(image[kSerLoByte]);
  t.Op = Decimal(image[kOperatorByte]);
  t.Net = Decimal(image[kNetByte]);
  t.Dau1 = Decimal(image[kDau1Byte]);
  t.Dau2 = Decimal(image[kDau2Byte]);
  t.P0 = Decimal(image[kToneByte]);
  for (int i = 0; i < 5; ++i) t.P[i] = Decimal(image[kP1Byte + i]);
  for (int n = 0; n < 8; ++n) {
    t.Adr[n] = Decimal(Address(image, n + 1));
    for (int c = 0; c < 4; ++c) t.F[n][c] = Decimal(image[kMaskByte + 4 * n + c]);
  }
  return t;
}

TTexts DefaultTexts(std::uint8_t operatorCode) {
  TTexts t;
  t.Op = Decimal(operatorCode);
  t.Zapis = "001";
  for (int n = 0; n < 8; ++n) {
    t.Adr[n] = n == 0 ? "0543001" : "0000000";
    for (int c = 0; c < 4; ++c) t.F[n][c] = Decimal(n < 7 ? c + 1 : 5);
  }
  t.Dead = "180";
  t.P0 = "0";
  for (std::string& p : t.P) p = "0";
  t.Ser1 = t.Ser2 = "0";
  // All networks and transmitters.
  t.Net = t.Dau1 = t.Dau2 = "0";
  return t;
}

// ---------------------------------------------------------------- write

TValues ConvertForWrite(const TTexts& texts) {
  TValues values;
  ForEachField(
      [](const std::string& field, const std::string& text, int& value) {
        try {
          value = StrToInt(text);
        } catch (const EConvertError& e) {
          throw EFieldConvertError(field, e);
        }
      },
      texts, values);
  return values;
}

TRange FieldRange(std::string_view field) {
  for (const TLeaveCheck& check : kLeaveChecks)
    if (field == check.Field) return {0, check.Max};
  if (field.starts_with("Adr")) return {0, kMaxAddress};
  if (field.starts_with("F")) return {1, 5};
  if (field == "P0") return {0, 5};
  if (field == "Dead") return {1, 255};
  if (field == "Net") return {0, 15};
  if (field == "Dau1" || field == "Dau2") return {0, 31};
  return {0, 255};
}

std::optional<TRefusal> CheckForWrite(const TValues& values) {
  const auto outside = [](int value, std::string_view field) {
    const TRange r = FieldRange(field);
    return value < r.Min || value > r.Max;
  };
  for (int n = 0; n < 8; ++n) {
    const std::string field = "Adr" + std::to_string(n + 1);
    if (outside(values.Adr[n], field)) return TRefusal{field, kBadAddress};
  }
  if (outside(values.Dead, "Dead")) return TRefusal{"Dead", kBadDeadTime};
  return std::nullopt;
}

TParamImage ImageForWrite(const TValues& values, std::uint8_t operatorCode) {
  const auto low8 = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
  TParamImage image{};
  image[0] = kHeader[0];
  image[1] = kHeader[1];
  image[kDeadByte] = low8(values.Dead);
  image[kOrderByte] = 0;
  image[kSerHiByte] = low8(values.Ser1);
  image[kSerLoByte] = low8(values.Ser2);
  image[kOperatorByte] = operatorCode;
  image[kNetByte] = low8(values.Net);
  image[kDau1Byte] = low8(values.Dau1);
  image[kDau2Byte] = low8(values.Dau2);
  image[kToneByte] = low8(values.P0);
  for (int i = 0; i < 5; ++i) image[kP1Byte + i] = low8(values.P[i]);
  for (int n = 0; n < 8; ++n) {
    const int a = values.Adr[n];
    const int at = kAddressByte + 3 * n;
    image[at] = low8(a / 65536);
    image[at + 1] = low8(a % 65536 / 256);
    image[at + 2] = low8(a % 256);
    for (int c = 0; c < 4; ++c) image[kMaskByte + 4 * n + c] = low8(values.F[n][c]);
  }
  return image;
}

TParamFrame WriteFrame(const TParamImage& image) {
  TParamFrame frame;
  frame.fill(0xFF);
  std::copy(image.begin(), image.end(), frame.begin());
  return frame;
}

// ---------------------------------------------------------------- leave checks

bool LeaveCheckPasses(std::string_view text, int max) {
  const int v = StrToInt(text);
  return v >= 0 && v <= max;
}

}  // namespace params
