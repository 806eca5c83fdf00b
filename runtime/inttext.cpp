#include "runtime/inttext.h"

namespace dw {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<uint32_t> ParseHexPattern(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  uint32_t pattern = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    pattern = pattern << 4 | static_cast<uint32_t>(d);
  }
  return pattern;
}

std::optional<int64_t> ParseDecimalMagnitude(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  int64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 2147483648LL) return std::nullopt;
  }
  return magnitude;
}

}  // namespace

std::optional<int32_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string_view rest = text.substr(i);

  std::size_t prefix = 0;
  if (rest.starts_with("0x") || rest.starts_with("0X"))
    prefix = 2;
  else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X"))
    prefix = 1;
  if (prefix != 0) {
    const auto pattern = ParseHexPattern(rest.substr(prefix));
    if (!pattern) return std::nullopt;
    const uint32_t value = negative ? 0u - *pattern : *pattern;
    return static_cast<int32_t>(value);
  }
  const auto magnitude = ParseDecimalMagnitude(rest);
  if (!magnitude) return std::nullopt;
  const int64_t value = negative ? -*magnitude : *magnitude;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseOptionInteger(std::string_view text) {
  if (!text.empty() && text.front() == ' ') return std::nullopt;
  return ParseInteger(text);
}

std::optional<uint32_t> ParseSeed(std::string_view text) {
  // Ten digits hold every 32-bit value; more would be leading zeros or too large.
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace dw
