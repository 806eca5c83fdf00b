#include "chart/recording_canvas.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

namespace dw::chart {

std::string ToString(Point p) {
  std::string text = std::to_string(p.x);
  text += ',';
  text += std::to_string(p.y);
  return text;
}
std::string ToString(const Rect& r) {
  std::string text = ToString(Point{r.left, r.top});
  text += ',';
  text += ToString(Point{r.right, r.bottom});
  return text;
}

std::string RecordingCanvas::Hex(Color c) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", RedOf(c), GreenOf(c), BlueOf(c));
  return text;
}

namespace {

const char* Name(PenStyle s) {
  switch (s) {
    case PenStyle::Solid: return "solid";
    case PenStyle::Dash: return "dash";
    case PenStyle::Dot: return "dot";
    case PenStyle::DashDot: return "dashdot";
    case PenStyle::Clear: return "clear";
  }
  return "?";
}

const char* Name(BrushStyle s) { return s == BrushStyle::Solid ? "solid" : s == BrushStyle::Clear ? "clear" : "hatch"; }

// Appends in place: chains of operator+ trip a false -Wrestrict in g++ 12.
std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text.append(part);
  return text;
}

std::string Points(std::span<const Point> points) {
  std::string text;
  for (const Point& p : points) {
    text += ' ';
    text += ToString(p);
  }
  return text;
}

}  // namespace

std::vector<std::string> RecordingCanvas::Lines(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : *log_)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

bool RecordingCanvas::Has(const std::string& line) const {
  return std::find(log_->begin(), log_->end(), line) != log_->end();
}

void RecordingCanvas::SetPen(const PenSpec& pen) {
  Canvas::SetPen(pen);
  Add(Join({"pen ", Hex(pen.color), " ", Name(pen.style), " ", std::to_string(pen.width),
            pen.mode == PenMode::NotXor ? " notxor" : ""}));
}
void RecordingCanvas::SetBrush(const BrushSpec& brush) {
  Canvas::SetBrush(brush);
  Add(Join({"brush ", Hex(brush.color), " ", Name(brush.style)}));
}
void RecordingCanvas::SetFont(const FontSpec& font) {
  Canvas::SetFont(font);
  Add(Join({"font ", font.name, " ", std::to_string(font.height), " ", Hex(font.color)}));
}
void RecordingCanvas::SetBackColor(Color c) {
  Canvas::SetBackColor(c);
  Add(Join({"back ", Hex(c)}));
}
void RecordingCanvas::SetBackMode(BackMode m) {
  Canvas::SetBackMode(m);
  Add(m == BackMode::Opaque ? "backmode opaque" : "backmode transparent");
}
void RecordingCanvas::SetTextAlign(HAlign h, VAlign v) {
  Canvas::SetTextAlign(h, v);
  Add(Join({"align ", h == HAlign::Left ? "left" : h == HAlign::Center ? "center" : "right",
            v == VAlign::Top ? " top" : " bottom"}));
}
int RecordingCanvas::TextWidth(std::string_view text) { return TextWidthIn(Font(), text); }
int RecordingCanvas::TextWidthIn(const FontSpec& font, std::string_view text) {
  return static_cast<int>(text.size()) * CharWidth(font);
}
int RecordingCanvas::TextHeight(std::string_view) { return LineHeightOf(Font()); }
void RecordingCanvas::Rectangle(const Rect& r) { Add(Join({"rect ", ToString(r)})); }
void RecordingCanvas::Polygon(std::span<const Point> points) {
  Add(Join({"polygon ", Hex(Brush().color), " ", Name(Brush().style), Points(points)}));
}
void RecordingCanvas::FillRect(const Rect& r) {
  Add(Join({"fill ", Hex(Brush().color), " ", ToString(r)}));
}
void RecordingCanvas::Line(Point from, Point to) {
  Add(Join({"line ", ToString(from), " ", ToString(to)}));
}
void RecordingCanvas::TextOut(Point at, std::string_view text) {
  Add(Join({"text ", ToString(at), " ", text}));
}
void RecordingCanvas::RotatedTextOut(Point at, std::string_view text, int angle) {
  Add(Join({"rotated ", std::to_string(angle), " ", ToString(at), " ", text}));
}
void RecordingCanvas::ClipToRect(const Rect& r) { Add(Join({"clip rect ", ToString(r)})); }
void RecordingCanvas::ClipToPolygon(std::span<const Point> points) {
  Add(Join({"clip polygon", Points(points)}));
}
void RecordingCanvas::RemoveClip() { Add("unclip"); }

class RecordingBitmap : public OffscreenBitmap {
 public:
  RecordingBitmap(std::shared_ptr<std::vector<std::string>> log, int w, int h)
      : surface_(std::move(log)), w_(w), h_(h) {}
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  Canvas& Surface() override { return surface_; }

 private:
  RecordingCanvas surface_;
  int w_, h_;
};

std::unique_ptr<OffscreenBitmap> RecordingCanvas::CreateBitmap(int width, int height, bool) {
  Add(Join({"bitmap ", std::to_string(width), "x", std::to_string(height)}));
  return std::make_unique<RecordingBitmap>(log_, width, height);
}

void RecordingCanvas::DrawBitmap(Point at, OffscreenBitmap& bitmap) {
  Add(Join({"copy bitmap ", std::to_string(bitmap.Width()), "x", std::to_string(bitmap.Height()),
            " at ", ToString(at)}));
}

}  // namespace dw::chart
