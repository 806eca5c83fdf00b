#include "runtime/json.h"

#include <cassert>
#include <charconv>
#include <cmath>

namespace dw {

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

JsonWriter& JsonWriter::Key(std::string_view name) {
  BeforeValue();
  text_ += JsonString(name) + ": ";
  afterKey_ = true;
  return *this;
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

const JsonValue* JsonValue::Member(std::string_view name) const {
  for (const auto& [key, value] : members)
    if (key == name) return &value;
  return nullptr;
}

std::optional<uint64_t> JsonValue::Unsigned() const {
  if (kind != Kind::Number || text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  uint64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

namespace {

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document(std::string& error) {
    JsonValue value;
    SkipSpace();
    if (Value(value, 0)) {
      SkipSpace();
      if (at_ == text_.size()) return value;
      problem_ = "text after the document";
    }
    error = problem_ + " at byte " + std::to_string(at_);
    return std::nullopt;
  }

 private:
  static constexpr int kMaxDepth = 64;
  std::string_view text_;
  std::size_t at_ = 0;
  std::string problem_;

  bool Fail(const char* what) {
    problem_ = what;
    return false;
  }
  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool Literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("not a JSON value");
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deep");
    if (at_ >= text_.size()) return Fail("the text ends where a value should be");
    switch (text_[at_]) {
      case '{': return Object(value, depth);
      case '[': return Array(value, depth);
      case '"': value.kind = JsonValue::Kind::String; return String(value.text);
      case 't': value.kind = JsonValue::Kind::Bool; value.boolean = true; return Literal("true");
      case 'f': value.kind = JsonValue::Kind::Bool; return Literal("false");
      case 'n': value.kind = JsonValue::Kind::Null; return Literal("null");
      default: value.kind = JsonValue::Kind::Number; return Number(value.text);
    }
  }

  bool Object(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::Object;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
    for (;;) {
      SkipSpace();
      std::string key;
      if (at_ >= text_.size() || text_[at_] != '"') return Fail("a member's name expected");
      if (!String(key)) return false;
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != ':') return Fail("':' expected");
      ++at_;
      SkipSpace();
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      value.members.emplace_back(std::move(key), std::move(member));
      SkipSpace();
      if (at_ < text_.size() && text_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
      return Fail("',' or '}' expected");
    }
  }

  bool Array(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::Array;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
    for (;;) {
      SkipSpace();
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      value.items.push_back(std::move(item));
      SkipSpace();
      if (at_ < text_.size() && text_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
      return Fail("',' or ']' expected");
    }
  }

  bool Hex4(uint32_t& code) {
    if (at_ + 4 > text_.size()) return Fail("a \\u escape needs four hex digits");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return Fail("a \\u escape needs four hex digits");
      code = code * 16 + static_cast<uint32_t>(digit);
    }
    return true;
  }

  static void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool Escape(std::string& out) {
    if (at_ >= text_.size()) return Fail("the text ends in an escape");
    const char c = text_[at_++];
    switch (c) {
      case '"': case '\\': case '/': out += c; return true;
      case 'b': out += '\b'; return true;
      case 'f': out += '\f'; return true;
      case 'n': out += '\n'; return true;
      case 'r': out += '\r'; return true;
      case 't': out += '\t'; return true;
      case 'u': break;
      default: return Fail("not an escape");
    }
    uint32_t code = 0;
    if (!Hex4(code)) return false;
    if (code >= 0xD800 && code < 0xDC00) {  // a surrogate pair
      uint32_t low = 0;
      if (text_.substr(at_, 2) != "\\u") return Fail("a lone surrogate");
      at_ += 2;
      if (!Hex4(low) || low < 0xDC00 || low >= 0xE000) return Fail("a lone surrogate");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    } else if (code >= 0xDC00 && code < 0xE000) {
      return Fail("a lone surrogate");
    }
    AppendUtf8(code, out);
    return true;
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    for (;;) {
      if (at_ >= text_.size()) return Fail("the text ends in a string");
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (!Escape(out)) return false;
    }
  }

  bool Digits() {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  bool Number(std::string& out) {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!Digits()) {
      return Fail("not a JSON value");
    }
    if (at_ < text_.size() && text_[at_] == '.' && (++at_, !Digits()))
      return Fail("digits expected after the point");
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!Digits()) return Fail("digits expected in the exponent");
    }
    out.assign(text_.substr(start, at_ - start));
    return true;
  }
};

}  // namespace

std::optional<JsonValue> ParseJson(std::string_view text, std::string& error) {
  return JsonParser(text).Document(error);
}

}  // namespace dw
