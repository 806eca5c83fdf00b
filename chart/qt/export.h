#pragma once
// The chart as a file: PNG, SVG or PDF, drawn with the same DrawChart as the
// screen, headless. No Qt type in this interface, so the command line can
// use it without Qt headers.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dw::chart {

class Canvas;
struct Rect;
class TChart;

enum class ChartFileFormat { Png, Svg, Pdf };

// By the extension, case-insensitive; none for any other name.
std::optional<ChartFileFormat> ChartFormatFromFileName(std::string_view fileName);

// Makes sure a Qt GUI application object exists; without a display setting
// the off-screen platform is used, so no display is needed.
void EnsureGuiApplication();

// Any picture drawn on the chart canvas, for a file: `draw` paints the
// whole area (0, 0, width, height) at 96 pixels per inch.
struct Drawing {
  std::function<void(Canvas& canvas, const Rect& area)> draw;
  std::string title;               // of the SVG and PDF document; none when empty
  std::string pageName = "Chart";  // of the PDF page size
  bool antialiased = false;
};

// The bytes of the file in `format`; empty when drawing failed. A PNG is
// drawn at `pixelsPerInch` (so 192 gives twice the pixels, everything twice
// as large) and says so in its header; SVG and PDF are vector drawings of
// width × height at 96 per inch, which `pixelsPerInch` does not change.
std::string RenderDrawing(const Drawing& drawing, ChartFileFormat format, int width, int height,
                          int pixelsPerInch = 96);

// The pixels a PNG of width × height at 96 per inch takes at `pixelsPerInch`.
int PixelsAt(int size, int pixelsPerInch);

// Writes the bytes whole (an earlier file stays until the new one is on the
// disk). On failure returns false with a message naming the file and the
// system's reason.
bool WriteDrawing(const std::string& fileName, const std::string& bytes, std::string& error);

// The bytes of `chart` drawn at width × height pixels (96 per inch; a PNG at
// pixelsPerInch as RenderDrawing) in the format; empty when drawing failed.
// WriteDrawing writes them. The chart is left dirty, so a screen showing it
// lays it out again at its own size.
std::string RenderChart(TChart& chart, ChartFileFormat format, int width, int height,
                        int pixelsPerInch = 96);

}  // namespace dw::chart
