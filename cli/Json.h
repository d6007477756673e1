#pragma once
// JSON values written as one line, the keys of an object in the order they
// were added (the client's objects read "command", "port", "serial",
// "result" first). Strings are UTF-8; a byte that is not is written as
// U+FFFD, so the line is always valid JSON.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cli {

class TJson {
 public:
  TJson() = default;  // null
  TJson(bool value);
  TJson(int value);
  TJson(const char* value);
  TJson(std::string value);
  // A number, or null.
  static TJson Number(std::optional<int> value);
  static TJson Array(std::vector<TJson> items = {});
  static TJson Object();

  // For an object: adds a key (the caller keeps keys unique).
  TJson& Add(std::string key, TJson value);
  // For an array: appends an item.
  TJson& Push(TJson value);

  std::string Text() const;

 private:
  enum class TKind { Null, Bool, Number, String, Array, Object };
  void Write(std::string& out) const;

  TKind kind_ = TKind::Null;
  bool bool_ = false;
  long long number_ = 0;
  std::string string_;
  std::vector<TJson> items_;
  std::vector<std::pair<std::string, TJson>> members_;
};

}  // namespace cli
