#include "cli/json.h"

#include <cassert>
#include <charconv>
#include <cmath>

namespace dw::cli {

std::string JsonString(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          out += "\\u00";
          out += kHex[u >> 4];
          out += kHex[u & 15];
        } else {
          out += c;  // UTF-8 passes through
        }
    }
  }
  return out + "\"";
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (hasMembers_.empty()) return;  // the document's one value
  if (hasMembers_.back()) text_ += ",";
  hasMembers_.back() = true;
  NewLine();
}

void JsonWriter::NewLine() {
  text_ += '\n';
  text_.append(2 * hasMembers_.size(), ' ');
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  text_ += bracket;
  hasMembers_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  assert(!hasMembers_.empty());
  const bool any = hasMembers_.back();
  hasMembers_.pop_back();
  if (any) NewLine();
  text_ += bracket;
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  text_ += JsonString(name) + ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  text_ += JsonString(text);
}

void JsonWriter::Integer(int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Unsigned(uint64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Real(double value) {
  BeforeValue();
  if (!std::isfinite(value)) {
    text_ += "null";
    return;
  }
  char digits[32];
  const auto end =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 17).ptr;
  const std::string_view number(digits, static_cast<std::size_t>(end - digits));
  text_ += number;
  // Always in a real's form, so that readers keep -0.0 and type it alike.
  if (number.find_first_of(".e") == std::string_view::npos) text_ += ".0";
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
}

}  // namespace dw::cli
