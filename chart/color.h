#pragma once
// Chart colours: 32-bit values in the platform's order 0x00BBGGRR, with the
// two sentinels the chart understands.
#include <cstdint>

namespace dw::chart {

using Color = uint32_t;

inline constexpr Color clBlack = 0x000000;
inline constexpr Color clRed = 0x0000FF;
inline constexpr Color clWhite = 0xFFFFFF;
inline constexpr Color clGray = 0x808080;
inline constexpr Color clYellow = 0x00FFFF;
inline constexpr Color clBlue = 0xFF0000;
inline constexpr Color clLightYellow = 0x80FFFF;  // RGB 255, 255, 128
inline constexpr Color AutoColor = 0x80000000;  // the context supplies the colour
inline constexpr Color clNone = 0x1FFFFFFF;     // draw nothing

inline constexpr int RedOf(Color c) { return static_cast<int>(c & 0xFF); }
inline constexpr int GreenOf(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
inline constexpr int BlueOf(Color c) { return static_cast<int>((c >> 16) & 0xFF); }
inline constexpr Color RGB(int r, int g, int b) {
  return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}
// Sentinels and system colours as plain RGB (the sentinels' low 24 bits).
inline constexpr Color ColorToRGB(Color c) { return c & 0xFFFFFF; }

}  // namespace dw::chart
