#include "cli/Json.h"

#include <QString>

namespace cli {

namespace {

void WriteString(const std::string& text, std::string& out) {
  // Qt's decoder puts U+FFFD for what is not UTF-8.
  const std::string utf8 = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdString();
  out += '"';
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          static const char* const kHex = "0123456789abcdef";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

}  // namespace

TJson::TJson(bool value) : kind_(TKind::Bool), bool_(value) {}
TJson::TJson(int value) : kind_(TKind::Number), number_(value) {}
TJson::TJson(const char* value) : kind_(TKind::String), string_(value) {}
TJson::TJson(std::string value) : kind_(TKind::String), string_(std::move(value)) {}

TJson TJson::Number(std::optional<int> value) { return value ? TJson(*value) : TJson(); }

TJson TJson::Array(std::vector<TJson> items) {
  TJson a;
  a.kind_ = TKind::Array;
  a.items_ = std::move(items);
  return a;
}

TJson TJson::Object() {
  TJson o;
  o.kind_ = TKind::Object;
  return o;
}

TJson& TJson::Add(std::string key, TJson value) {
  members_.emplace_back(std::move(key), std::move(value));
  return *this;
}

TJson& TJson::Push(TJson value) {
  items_.push_back(std::move(value));
  return *this;
}

std::string TJson::Text() const {
  std::string out;
  Write(out);
  return out;
}

void TJson::Write(std::string& out) const {
  switch (kind_) {
    case TKind::Null: out += "null"; return;
    case TKind::Bool: out += bool_ ? "true" : "false"; return;
    case TKind::Number: out += std::to_string(number_); return;
    case TKind::String: WriteString(string_, out); return;
    case TKind::Array:
      out += '[';
      for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i) out += ',';
        items_[i].Write(out);
      }
      out += ']';
      return;
    case TKind::Object:
      out += '{';
      for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i) out += ',';
        WriteString(members_[i].first, out);
        out += ':';
        members_[i].second.Write(out);
      }
      out += '}';
      return;
  }
}

}  // namespace cli
