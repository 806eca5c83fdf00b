#pragma once
// Mouse zoom and scroll of a chart: the drag records, the axis state kept
// from the first zoom or scroll until the undo, the hit test that decides
// whether a press starts a drag, and the range arithmetic on the axes.
// Points are pixels of the control's client area, read against the layout
// the control last drew with.
#include <array>

#include "chart/canvas.h"
#include "chart/layout.h"

namespace dw::chart {

class TChart;
class TChartAxis;
class TChartSeries;

// Press point X0, Y0 and current point X1, Y1.
struct TDragRecord {
  int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  bool Active = false;
};

struct TAxisSavedState {
  bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
  double Minimum = 0, Maximum = 0;
};
// Top, bottom, left, right.
using TSavedAxisState = std::array<TAxisSavedState, 4>;

enum class MouseButton { Left, Right, Middle };
enum ShiftKeys : unsigned { ssNone = 0, ssShift = 1, ssCtrl = 2, ssAlt = 4 };

// The buttons and keys fixed for the process: left zooms, right scrolls, no
// key needed for either.
inline constexpr MouseButton kZoomButton = MouseButton::Left;
inline constexpr MouseButton kScrollButton = MouseButton::Right;
inline constexpr unsigned kZoomKeys = ssNone;
inline constexpr unsigned kScrollKeys = ssNone;
// Each animated step covers a third of the remaining way.
inline constexpr long double kAnimatedZoomFactor = 3.0L;
// A drag must exceed this many pixels both ways to zoom or undo.
inline constexpr int kMinimumZoomDrag = 16;

enum class ChartPartKind { None, Series, Axis, Title, Foot, Plot, Legend };
struct ChartHit {
  ChartPartKind part = ChartPartKind::None;
  TChartSeries* series = nullptr;  // part Series
  int point = -1;                  // part Series
  TChartAxis* axis = nullptr;      // part Axis
};

// The part under p, first match of: a point of an active series (the last
// series first), a visible axis' click area, the title block, the foot, the
// plot rectangle when a series is active, nothing.
ChartHit HitTest(const TChart& chart, const TChartLayout& layout, Point p);
// Along the axis from its start pixel to its end pixel; across, from its
// labels' edge to the axis line and 3 pixels beyond it away from the labels.
bool InAxisClickArea(const TAxisLayout& axis, Point p);

// The control's mouse handling; `control` is the canvas of its client area,
// on which the rubber band is drawn and erased. A press returns whether it
// started a drag.
bool ChartMouseDown(TChart& chart, const TChartLayout& layout, MouseButton button, unsigned keys,
                    Point p, Canvas& control);
void ChartMouseMove(TChart& chart, const TChartLayout& layout, Point p, Canvas& control);
void ChartMouseUp(TChart& chart, const TChartLayout& layout, MouseButton button, Point p,
                  Canvas& control);
// The pointer left the control: a scroll ends, as it has left the plot.
void ChartMouseLeave(TChart& chart);

// The rectangle of ZoomDrag in the inverting pen mode with a clear brush;
// drawing it twice leaves the pixels as they were.
void DrawZoomRectangle(const TChart& chart, Canvas& canvas);

struct AxisRange {
  double minimum = 0, maximum = 0;
};
struct ZoomRanges {
  AxisRange left, right, top, bottom;
};

// The ranges of ZoomDrag's rectangle on each of the four axes of `layout`.
ZoomRanges RectangleRanges(const TChart& chart, const TChartLayout& layout);
void ZoomToRectangle(TChart& chart, const TChartLayout& layout);
// Saves the axes unless already saved, animates when AnimatedZoom is on,
// then sets the four ranges.
void ZoomToValues(TChart& chart, const ZoomRanges& target);
// Gives every axis back the state saved before the first zoom or scroll.
void UndoZoom(TChart& chart);
// Saves the four axes into SavedAxisState unless a state is already saved.
void SaveAxisState(TChart& chart);

}  // namespace dw::chart
