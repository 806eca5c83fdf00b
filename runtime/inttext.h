#pragma once
// The runtime's integer syntax, as the count boxes read their text back.
#include <cstdint>
#include <optional>
#include <string_view>

namespace dw {

// Leading spaces (code 32 only), an optional "-" or "+", then decimal digits
// within the 32-bit signed range, or after "$", "x", "X", "0x" or "0X" up to
// eight hexadecimal digits taken as a 32-bit pattern; nothing may follow.
// Empty when the text is not such an integer.
std::optional<int32_t> ParseInteger(std::string_view text);

// The same for a command-line option's value, which has no box to pad it:
// no space before it either, as none is allowed after it.
std::optional<int32_t> ParseOptionInteger(std::string_view text);

// A generator seed as every front end takes it: one to ten decimal digits,
// nothing before or after them, at most 4294967295. Empty otherwise.
std::optional<uint32_t> ParseSeed(std::string_view text);

}  // namespace dw
