#pragma once
// The chart's drawing surface: the canvas it currently draws on, seen through
// the orthogonal projection of the 3D box. Pixel coordinates before
// projection; depth z >= 0, 0 being the front plane.
#include <array>
#include <memory>
#include <span>
#include <string_view>

#include "chart/canvas.h"
#include "chart/layout.h"

namespace dw::chart {

// The projection is the layout's, set for each drawing.
class TKivCanvas3D : public TProjection {
 public:
  Canvas* canvas = nullptr;  // not owned
  bool zoomText = true;

  bool buffered = true;
  bool dirty = true;
  std::unique_ptr<OffscreenBitmap> bitmap;

  Canvas& C() { return *canvas; }

  void LineWithZ(int x0, int y0, int x1, int y1, int z);
  void HorizLine3D(int x0, int x1, int y, int z);
  void VertLine3D(int x, int y0, int y1, int z);
  void ZLine3D(int x, int y, int z0, int z1);
  // Quad of rectangle r in the plane z.
  void RectangleWithZ(const Rect& r, int z);
  // Plane x: y0..y1, z0..z1.
  void RectangleZ(int x, int y0, int y1, int z0, int z1);
  // Plane y: x0..x1, z0..z1.
  void RectangleY(int y, int x0, int x1, int z0, int z1);
  void DrawBox3D(int left, int right, int top, int bottom, int z0, int z1, bool darkSides);
  void TextOut3D(int x, int y, int z, std::string_view text);
  void RotatedTextOut3D(int x, int y, int z, std::string_view text, int angle);
  // The six-point outline of the box from depth 0 to `depth` over r.
  std::array<Point, 6> ClipOutline(const Rect& r, int depth) const;
};

// Each channel less q, not below 0.
Color DarkenColor(Color c, int q);

// Brush and background for a fill in `color` with `style` over `backColor`.
void PrepareFillBrush(Canvas& canvas, Color color, BrushStyle style, Color backColor);

}  // namespace dw::chart
