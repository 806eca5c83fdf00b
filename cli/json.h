#pragma once
// A small JSON writer: objects, arrays, strings (escaped), integers and reals
// with "." and 17 significant digits, so every double reads back exactly.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dw::cli {

class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the open object.
  void Key(std::string_view name);
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

}  // namespace dw::cli
