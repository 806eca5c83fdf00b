#include "chart/canvas3d.h"

#include <algorithm>
#include <cstdlib>

#include "runtime/random.h"

namespace dw::chart {

void TKivCanvas3D::LineWithZ(int x0, int y0, int x1, int y1, int z) {
  canvas->Line(ProjectPoint(x0, y0, z), ProjectPoint(x1, y1, z));
}
void TKivCanvas3D::HorizLine3D(int x0, int x1, int y, int z) { LineWithZ(x0, y, x1, y, z); }
void TKivCanvas3D::VertLine3D(int x, int y0, int y1, int z) { LineWithZ(x, y0, x, y1, z); }
void TKivCanvas3D::ZLine3D(int x, int y, int z0, int z1) {
  canvas->Line(ProjectPoint(x, y, z0), ProjectPoint(x, y, z1));
}

void TKivCanvas3D::RectangleWithZ(const Rect& r, int z) {
  const Point p[4] = {ProjectPoint(r.left, r.top, z), ProjectPoint(r.right, r.top, z),
                      ProjectPoint(r.right, r.bottom, z), ProjectPoint(r.left, r.bottom, z)};
  canvas->Polygon(p);
}

void TKivCanvas3D::RectangleZ(int x, int y0, int y1, int z0, int z1) {
  const Point p[4] = {ProjectPoint(x, y0, z0), ProjectPoint(x, y0, z1), ProjectPoint(x, y1, z1),
                      ProjectPoint(x, y1, z0)};
  canvas->Polygon(p);
}

void TKivCanvas3D::RectangleY(int y, int x0, int x1, int z0, int z1) {
  const Point p[4] = {ProjectPoint(x0, y, z0), ProjectPoint(x1, y, z0), ProjectPoint(x1, y, z1),
                      ProjectPoint(x0, y, z1)};
  canvas->Polygon(p);
}

namespace {

// Darkening acts on the brush of a solid fill and on the background of a
// hatched one.
void SetFaceColor(Canvas& c, Color color) {
  if (c.Brush().style == BrushStyle::Solid) {
    BrushSpec b = c.Brush();
    b.color = color;
    c.SetBrush(b);
  } else {
    c.SetBackColor(color);
  }
}

}  // namespace

void TKivCanvas3D::DrawBox3D(int left, int right, int top, int bottom, int z0, int z1,
                             bool darkSides) {
  Canvas& c = *canvas;
  const Color base = c.Brush().style == BrushStyle::Solid ? c.Brush().color : c.BackColor();
  const Point front[4] = {ProjectPoint(left, top, z0), ProjectPoint(right, top, z0),
                          ProjectPoint(right, bottom, z0), ProjectPoint(left, bottom, z0)};
  c.Polygon(front);

  if (darkSides) SetFaceColor(c, DarkenColor(base, 128));
  if (ProjectPoint(right, bottom, z1).x > ProjectPoint(right, bottom, z0).x) {
    const Point side[4] = {ProjectPoint(right, top, z0), ProjectPoint(right, top, z1),
                           ProjectPoint(right, bottom, z1), ProjectPoint(right, bottom, z0)};
    c.Polygon(side);
  } else {
    const Point side[4] = {ProjectPoint(left, top, z0), ProjectPoint(left, top, z1),
                           ProjectPoint(left, bottom, z1), ProjectPoint(left, bottom, z0)};
    c.Polygon(side);
  }

  // Only a top seen from above is drawn; the bottom face never is.
  if (ProjectPoint(right, top, z0).y > ProjectPoint(left, top, z1).y) {
    if (darkSides) SetFaceColor(c, DarkenColor(base, 64));
    const Point topFace[4] = {ProjectPoint(left, top, z0), ProjectPoint(right, top, z0),
                              ProjectPoint(right, top, z1), ProjectPoint(left, top, z1)};
    c.Polygon(topFace);
  }
}

namespace {

// Text grows and shrinks with a zoomed 3D view when ZoomText is on.
class ZoomedFont {
 public:
  ZoomedFont(Canvas& canvas, bool active, double zoom) : canvas_(canvas), saved_(canvas.Font()) {
    if (!active) return;
    FontSpec f = saved_;
    const int size = static_cast<int>(
        std::max<int64_t>(1, RoundToInt(static_cast<long double>(std::abs(f.height)) * zoom)));
    f.height = f.height < 0 ? -size : size;
    canvas_.SetFont(f);
    restore_ = true;
  }
  ~ZoomedFont() {
    if (restore_) canvas_.SetFont(saved_);
  }

 private:
  Canvas& canvas_;
  FontSpec saved_;
  bool restore_ = false;
};

}  // namespace

void TKivCanvas3D::TextOut3D(int x, int y, int z, std::string_view text) {
  ZoomedFont font(*canvas, is3D && zoomText && zoom != 1.0, zoom);
  canvas->TextOut(ProjectPoint(x, y, z), text);
}

void TKivCanvas3D::RotatedTextOut3D(int x, int y, int z, std::string_view text, int angle) {
  ZoomedFont font(*canvas, is3D && zoomText && zoom != 1.0, zoom);
  canvas->RotatedTextOut(ProjectPoint(x, y, z), text, angle);
}

std::array<Point, 6> TKivCanvas3D::ClipOutline(const Rect& r, int depth) const {
  const Point frontBottomLeft = ProjectPoint(r.left, r.bottom, 0);
  const Point frontTopLeft = ProjectPoint(r.left, r.top, 0);
  const Point backTopLeft = ProjectPoint(r.left, r.top, depth);
  const Point frontTopRight = ProjectPoint(r.right, r.top, 0);
  const Point backTopRight = ProjectPoint(r.right, r.top, depth);
  const Point backBottomRight = ProjectPoint(r.right, r.bottom, depth);
  const Point frontBottomRight = ProjectPoint(r.right, r.bottom, 0);
  return {frontBottomLeft,
          frontTopLeft,
          backTopLeft.y < frontTopRight.y ? backTopLeft : frontTopRight,
          backTopRight,
          backBottomRight.x > frontTopRight.x ? backBottomRight : frontTopRight,
          frontBottomRight};
}

Color DarkenColor(Color c, int q) {
  const Color rgb = ColorToRGB(c);
  auto dark = [q](int channel) { return channel > q ? channel - q : 0; };
  return RGB(dark(RedOf(rgb)), dark(GreenOf(rgb)), dark(BlueOf(rgb)));
}

void PrepareFillBrush(Canvas& canvas, Color color, BrushStyle style, Color backColor) {
  if (style != BrushStyle::Solid && color == backColor)
    color = ColorToRGB(backColor) == clBlack ? clWhite : clBlack;
  canvas.SetBrush({color, style});
  if (style != BrushStyle::Solid) {
    canvas.SetBackMode(BackMode::Opaque);
    canvas.SetBackColor(backColor);
  } else {
    canvas.SetBackMode(BackMode::Transparent);
  }
}

}  // namespace dw::chart
