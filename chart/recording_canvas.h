#pragma once
// A canvas that draws nothing and logs each call as one line of text, with a
// fixed font metric, for geometry tests without pixels.
#include <memory>
#include <string>
#include <vector>

#include "chart/canvas.h"

namespace dw::chart {

class RecordingCanvas : public Canvas {
 public:
  RecordingCanvas() : log_(std::make_shared<std::vector<std::string>>()) {}

  // Metric: a line is |height| + 2 pixels high, each character |height| / 2 wide.
  static int CharWidth(const FontSpec& f) { return std::max(1, std::abs(f.height) / 2); }
  static int LineHeightOf(const FontSpec& f) { return std::abs(f.height) + 2; }

  const std::vector<std::string>& Log() const { return *log_; }
  void ClearLog() { log_->clear(); }
  // Lines starting with `prefix`.
  std::vector<std::string> Lines(const std::string& prefix) const;
  bool Has(const std::string& line) const;

  void SetPen(const PenSpec& pen) override;
  void SetBrush(const BrushSpec& brush) override;
  void SetFont(const FontSpec& font) override;
  void SetBackColor(Color c) override;
  void SetBackMode(BackMode m) override;
  void SetTextAlign(HAlign h, VAlign v) override;
  int TextWidth(std::string_view text) override;
  int TextHeight(std::string_view text) override;
  int TextWidthIn(const FontSpec& font, std::string_view text) override;
  int LineHeightIn(const FontSpec& font) override { return LineHeightOf(font); }
  void Rectangle(const Rect& r) override;
  void Polygon(std::span<const Point> points) override;
  void FillRect(const Rect& r) override;
  void Line(Point from, Point to) override;
  void TextOut(Point at, std::string_view text) override;
  void RotatedTextOut(Point at, std::string_view text, int angle) override;
  void ClipToRect(const Rect& r) override;
  void ClipToPolygon(std::span<const Point> points) override;
  void RemoveClip() override;
  std::unique_ptr<OffscreenBitmap> CreateBitmap(int width, int height, bool monochrome) override;
  void DrawBitmap(Point at, OffscreenBitmap& bitmap) override;

  static std::string Hex(Color c);  // RRGGBB

 private:
  explicit RecordingCanvas(std::shared_ptr<std::vector<std::string>> log) : log_(std::move(log)) {}
  void Add(std::string line) { log_->push_back(std::move(line)); }
  std::shared_ptr<std::vector<std::string>> log_;
  friend class RecordingBitmap;
};

std::string ToString(Point p);
std::string ToString(const Rect& r);

}  // namespace dw::chart
