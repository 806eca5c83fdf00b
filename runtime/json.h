#pragma once
// A small JSON writer: objects, arrays, strings (escaped), integers and reals
// with "." and 17 significant digits, so every double reads back exactly.
#include <cstdint>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

namespace dw {

class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the open object; its value follows on
  // the writer returned: json.Key("seed").Unsigned(seed).
  JsonWriter& Key(std::string_view name);
  void String(std::string_view text);
  void Integer(int64_t value);
  void Unsigned(uint64_t value);
  // %.17g, whatever the locale, with ".0" added to a whole number; a
  // non-finite value as null.
  void Real(double value);
  void Bool(bool value);
  void Null();

  // The document, ended by a line feed.
  std::string Text() const { return text_ + "\n"; }

 private:
  void BeforeValue();
  void NewLine();
  void Open(char bracket);
  void Close(char bracket);

  std::string text_;
  std::vector<bool> hasMembers_;  // one per open object or array
  bool afterKey_ = false;
};

// The text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

// A parsed JSON value. Numbers keep their text, so whole numbers (seeds,
// counts) read back exactly.
struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a string's value (UTF-8), a number's text
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  // The member of an object, nullptr when there is none.
  const JsonValue* Member(std::string_view name) const;
  // A whole number written without sign, fraction or exponent, when it fits.
  std::optional<uint64_t> Unsigned() const;
};

// A whole document (RFC 8259, nested at most 64 deep); empty, with the
// reason and its byte offset in `error`, when it is not one.
std::optional<JsonValue> ParseJson(std::string_view text, std::string& error);

}  // namespace dw
