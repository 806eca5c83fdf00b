#pragma once
// The chart's sub-objects and their change notification. A property change
// never draws: it tells the chart, which marks itself dirty and asks for a
// repaint. Setters that validate throw the chart's own exceptions and keep
// the old value.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "chart/canvas.h"
#include "runtime/numtext.h"

namespace dw::chart {

class ChartException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class AxisException : public ChartException {
 public:
  using ChartException::ChartException;
};
class BarException : public ChartException {
 public:
  using ChartException::ChartException;
};

// What a part tells when it changes; the chart implements it.
class ChangeListener {
 public:
  virtual ~ChangeListener() = default;
  virtual void PartChanged() = 0;
};

// The change notification a part was created with. A series owns its own and
// points it at the chart it joins.
struct Notifier {
  ChangeListener* listener = nullptr;
  void Notify() const {
    if (listener) listener->PartChanged();
  }
};

class ChartPart {
 public:
  explicit ChartPart(const Notifier* notifier) : notifier_(notifier) {}
  ChartPart(const ChartPart&) = delete;
  ChartPart& operator=(const ChartPart&) = delete;
  virtual ~ChartPart() = default;
  void Changed() const {
    if (notifier_) notifier_->Notify();
  }
  const Notifier* GetNotifier() const { return notifier_; }

 private:
  const Notifier* notifier_;
};

template <class T>
bool SameValue(const T& a, const T& b) {
  return a == b;
}
inline bool SameValue(const NumberMarks& a, const NumberMarks& b) {
  return a.decimal == b.decimal && a.thousands == b.thousands;
}

// A published property: assigning a different value tells the owner.
template <class T>
class Prop {
 public:
  Prop(const ChartPart* owner, T value) : owner_(owner), value_(std::move(value)) {}
  Prop(const Prop&) = delete;
  Prop& operator=(const Prop&) = delete;
  Prop& operator=(const T& value) {
    if (!SameValue(value_, value)) {
      value_ = value;
      owner_->Changed();
    }
    return *this;
  }
  operator const T&() const { return value_; }
  const T& operator()() const { return value_; }

 private:
  const ChartPart* owner_;
  T value_;
};

// Pen with the chart's own visibility switch; the fixed flavours differ only
// in their defaults.
class TChartPen : public ChartPart {
 public:
  explicit TChartPen(const Notifier* n, Color color = clBlack, PenStyle style = PenStyle::Solid,
                     int width = 1, bool visible = true)
      : ChartPart(n), Color(this, color), Style(this, style), Width(this, width),
        Visible(this, visible) {}
  Prop<chart::Color> Color;
  Prop<PenStyle> Style;
  Prop<int> Width;
  Prop<bool> Visible;
  Prop<bool> SmallDots{this, false};
  Prop<PenMode> Mode{this, PenMode::Copy};
};

struct TChartHiddenPen : TChartPen {
  explicit TChartHiddenPen(const Notifier* n) : TChartPen(n, clBlack, PenStyle::Solid, 1, false) {}
};
struct TDottedGrayPen : TChartPen {
  explicit TDottedGrayPen(const Notifier* n) : TChartPen(n, clGray, PenStyle::Dot, 1, true) {}
};
struct TDarkGrayPen : TChartPen {
  explicit TDarkGrayPen(const Notifier* n) : TChartPen(n, clGray, PenStyle::Solid, 1, true) {}
};
struct TChartAxisPen : TChartPen {
  explicit TChartAxisPen(const Notifier* n) : TChartPen(n, clBlack, PenStyle::Solid, 2, true) {}
};
struct TChartArrowPen : TChartPen {
  explicit TChartArrowPen(const Notifier* n) : TChartPen(n, clWhite, PenStyle::Solid, 1, true) {}
};

// Canvas pen := pen; an invisible pen draws nothing, and small dots become a
// dotted 1-pixel pen.
void ApplyChartPen(Canvas& canvas, const TChartPen& pen);

class TChartBrush : public ChartPart {
 public:
  explicit TChartBrush(const Notifier* n, chart::Color color = AutoColor)
      : ChartPart(n), Color(this, color) {}
  Prop<chart::Color> Color;
  Prop<BrushStyle> Style{this, BrushStyle::Solid};
};

// A font in points, or in pixels when Height is set (negative: character
// height, as the window definition stores it).
class TChartFont : public ChartPart {
 public:
  explicit TChartFont(const Notifier* n, chart::Color color = clBlack)
      : ChartPart(n), Color(this, color) {}
  Prop<std::string> Name{this, "Arial"};
  Prop<int> Size{this, 8};
  Prop<int> Height{this, 0};  // 0: from Size
  Prop<chart::Color> Color;
  Prop<bool> Bold{this, false};
  Prop<bool> Italic{this, false};
  Prop<bool> Underline{this, false};
  Prop<bool> StrikeOut{this, false};

  // The font as a canvas of the given resolution draws it; `zoomPercent`
  // scales the size (marks and labels in a zoomed 3D view).
  FontSpec Resolved(int pixelsPerInch, int zoomPercent = 100) const;
};

// Lines of text; every change tells the chart.
class TStringList : public ChartPart {
 public:
  using ChartPart::ChartPart;
  void Clear();
  void Add(std::string line);
  void SetLines(std::vector<std::string> lines);
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int i) const { return lines_[static_cast<size_t>(i)]; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TChartTitle : public ChartPart {
 public:
  TChartTitle(const Notifier* n, chart::Color fontColor)
      : ChartPart(n), Text(n), Brush(n), Frame(n), Font(n, fontColor) {}
  TStringList Text;
  Prop<bool> Visible{this, true};
  Prop<TAlignment> Alignment{this, TAlignment::taCenter};
  Prop<bool> AdjustFrame{this, true};
  Prop<chart::Color> Color{this, AutoColor};
  TChartBrush Brush;
  TChartHiddenPen Frame;
  TChartFont Font;
};

class TChartWall : public ChartPart {
 public:
  TChartWall(const Notifier* n, chart::Color color)
      : ChartPart(n), Color(this, color), Brush(n), Pen(n) {}
  Prop<chart::Color> Color;
  TChartBrush Brush;
  TChartPen Pen;
  Prop<int> Size{this, 0};
  Prop<bool> Dark3D{this, true};
};

class TView3DOptions : public ChartPart {
 public:
  using ChartPart::ChartPart;
  Prop<int> Elevation{this, 345};
  Prop<int> Rotation{this, 345};
  Prop<int> Tilt{this, 0};
  Prop<int> Perspective{this, 15};
  Prop<int> HorizOffset{this, 0};
  Prop<int> VertOffset{this, 0};
  Prop<bool> Orthogonal{this, true};
  Prop<int> Zoom{this, 100};
  Prop<bool> ZoomText{this, true};
};

}  // namespace dw::chart
