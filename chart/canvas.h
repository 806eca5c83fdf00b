#pragma once
// The drawing surface every chart step uses. Coordinates are device pixels;
// rectangles exclude their right and bottom edges, lines their last point, as
// the platform canvas the chart was written for does.
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "chart/color.h"

namespace dw::chart {

struct Point {
  int x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

enum class PenStyle { Solid, Dash, Dot, DashDot, Clear };
enum class PenMode { Copy, NotXor };  // NotXor: drawing twice restores the pixels
enum class BrushStyle { Solid, Clear, Horizontal, Vertical, FDiagonal, BDiagonal, Cross, DiagCross };
enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Bottom };
enum class BackMode { Transparent, Opaque };

struct PenSpec {
  Color color = clBlack;
  PenStyle style = PenStyle::Solid;
  int width = 1;
  PenMode mode = PenMode::Copy;
  friend bool operator==(const PenSpec&, const PenSpec&) = default;
};

struct BrushSpec {
  Color color = clWhite;
  BrushStyle style = BrushStyle::Solid;
  friend bool operator==(const BrushSpec&, const BrushSpec&) = default;
};

// height < 0: character height in pixels (the em size); > 0: cell height.
struct FontSpec {
  std::string name = "Arial";
  int height = -11;
  Color color = clBlack;
  bool bold = false, italic = false, underline = false, strikeOut = false;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

class Canvas;

// Text extents in a given font, without drawing: a chart is laid out through
// this before anything is drawn, so measuring must not change a canvas' font.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual int TextWidthIn(const FontSpec& font, std::string_view text) = 0;
  // The height of a line of `font`: the height of "W".
  virtual int LineHeightIn(const FontSpec& font) = 0;
  // Device pixels per inch, for fonts given in points.
  virtual int PixelsPerInch() const { return 96; }
};

// An off-screen bitmap made by a canvas of the same kind, copied back with
// Canvas::DrawBitmap.
class OffscreenBitmap {
 public:
  virtual ~OffscreenBitmap() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual Canvas& Surface() = 0;
};

class Canvas : public TextMeasure {
 public:
  virtual ~Canvas() = default;

  // State. Primitives read it; implementations may log or forward changes.
  virtual void SetPen(const PenSpec& pen) { pen_ = pen; }
  virtual void SetBrush(const BrushSpec& brush) { brush_ = brush; }
  virtual void SetFont(const FontSpec& font) { font_ = font; }
  virtual void SetBackColor(Color c) { backColor_ = c; }
  virtual void SetBackMode(BackMode m) { backMode_ = m; }
  virtual void SetTextAlign(HAlign h, VAlign v) { hAlign_ = h, vAlign_ = v; }
  const PenSpec& Pen() const { return pen_; }
  const BrushSpec& Brush() const { return brush_; }
  const FontSpec& Font() const { return font_; }
  Color BackColor() const { return backColor_; }
  BackMode GetBackMode() const { return backMode_; }
  HAlign TextHAlign() const { return hAlign_; }
  VAlign TextVAlign() const { return vAlign_; }

  // Extents of one line in the current font.
  virtual int TextWidth(std::string_view text) = 0;
  virtual int TextHeight(std::string_view text) = 0;

  // Filled with the brush and outlined with the pen.
  virtual void Rectangle(const Rect& r) = 0;
  virtual void Polygon(std::span<const Point> points) = 0;
  // Brush only.
  virtual void FillRect(const Rect& r) = 0;
  virtual void Line(Point from, Point to) = 0;
  // At the anchor by the text alignment; angle in degrees, counter-clockwise.
  virtual void TextOut(Point at, std::string_view text) = 0;
  virtual void RotatedTextOut(Point at, std::string_view text, int angle) = 0;

  virtual void ClipToRect(const Rect& r) = 0;
  virtual void ClipToPolygon(std::span<const Point> points) = 0;
  virtual void RemoveClip() = 0;

  virtual std::unique_ptr<OffscreenBitmap> CreateBitmap(int width, int height, bool monochrome) = 0;
  virtual void DrawBitmap(Point at, OffscreenBitmap& bitmap) = 0;

 private:
  PenSpec pen_;
  BrushSpec brush_;
  FontSpec font_;
  Color backColor_ = clWhite;
  BackMode backMode_ = BackMode::Opaque;
  HAlign hAlign_ = HAlign::Left;
  VAlign vAlign_ = VAlign::Top;
};

}  // namespace dw::chart
