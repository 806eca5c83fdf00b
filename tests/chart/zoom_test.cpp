#include "chart/zoom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/recording_canvas.h"

namespace dw::chart {
namespace {

const Rect kPanel{0, 0, 689, 449};

// The results chart after a run with these ten counts, painted once so that
// the mouse finds the geometry of a paint.
struct DrawnChart {
  std::unique_ptr<TChart> chart = std::make_unique<TChart>();
  TBarSeries& series = ConfigureResultsChart(*chart);
  RecordingCanvas screen;
  TChartLayout layout;  // of the last paint
  int repaints = 0;

  explicit DrawnChart(const std::vector<int>& counts = {12, 40, 98, 180, 230, 200, 130, 70, 30,
                                                        10}) {
    chart->canvas3D.buffered = false;
    chart->Title.Text.SetLines({"Histogram of simulated values of Delta", "N=100, m=0.1000",
                                "Amongst 1000 simulations"});
    chart->SetRepaintRequest([this] { ++repaints; });
    Fill(counts);
    Paint();
  }
  void Fill(const std::vector<int>& counts) {
    series.RemoveAllPoints();
    for (size_t i = 0; i < counts.size(); ++i)
      series.AppendPoint(counts[i], "class " + std::to_string(i), i == 4 ? clRed : clWhite);
  }
  void Paint() {
    RecordingCanvas paint;
    layout = DrawChart(*chart, paint, kPanel);
  }
  TChart& operator*() { return *chart; }
  TChart* operator->() { return chart.get(); }
};

std::string Band(int l, int t, int r, int b) { return "rect " + ToString(Rect{l, t, r, b}); }

TEST(ZoomDrag, RubberBandIsInvertedDrawnTwiceToEraseAndRedrawnByAPaint) {
  DrawnChart c;
  ASSERT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Left, ssNone, {100, 100}, c.screen));
  EXPECT_TRUE(c->ZoomDrag.Active);
  const std::vector<std::string> press{"pen 000000 solid 1 notxor", "brush FFFFFF clear",
                                       Band(100, 100, 100, 100)};
  EXPECT_EQ(c.screen.Log(), press);

  // Each move erases the old band and draws the new one; the same point again does nothing.
  c.screen.ClearLog();
  ChartMouseMove(*c, c.layout, {300, 250}, c.screen);
  ChartMouseMove(*c, c.layout, {300, 250}, c.screen);
  EXPECT_EQ(c.screen.Lines("rect "), (std::vector<std::string>{Band(100, 100, 100, 100),
                                                              Band(100, 100, 300, 250)}));
  // A band dragged up and left is drawn from its top-left corner.
  ChartMouseMove(*c, c.layout, {40, 30}, c.screen);
  ChartMouseMove(*c, c.layout, {300, 250}, c.screen);
  EXPECT_TRUE(c.screen.Has(Band(40, 30, 100, 100)));

  // A repaint during the drag draws the band last, before the canvas is reset.
  RecordingCanvas paint;
  DrawChart(*c, paint, kPanel);
  const auto& log = paint.Log();
  const auto band = std::find(log.begin(), log.end(), Band(100, 100, 300, 250));
  ASSERT_NE(band, log.end());
  EXPECT_EQ(*(band - 2), "pen 000000 solid 1 notxor");
  EXPECT_EQ(*(band + 1), "pen 000000 solid 1");

  // Release: erased once more, the pen back to copy mode.
  c.screen.ClearLog();
  ChartMouseUp(*c, c.layout, MouseButton::Left, {300, 250}, c.screen);
  EXPECT_FALSE(c->ZoomDrag.Active);
  EXPECT_EQ(c.screen.Lines("rect "), (std::vector<std::string>{Band(100, 100, 300, 250)}));
  EXPECT_EQ(c.screen.Log().back(), "pen 000000 solid 1");
  EXPECT_EQ(c->ZoomDrag.X1, 300);
}

TEST(ZoomDrag, BandColourIsTheChartColourUnlessWhite) {
  for (auto [color, pen] : {std::pair{clWhite, "pen 000000 solid 1 notxor"},
                            {0xF0F0F0u, "pen F0F0F0 solid 1 notxor"},
                            {clRed, "pen FF0000 solid 1 notxor"}}) {
    TChart chart;
    chart.Color = color;
    RecordingCanvas canvas;
    DrawZoomRectangle(chart, canvas);
    EXPECT_EQ(canvas.Log().front(), pen);
  }
}

TEST(ZoomDrag, ReleaseZoomsUndoesOrIgnoresBySizeAndDirection) {
  enum Outcome { Zoom, Undo, Nothing };
  struct Case {
    int dx, dy;
    Outcome outcome;
  };
  for (Case k : {Case{200, 150, Zoom}, {17, 17, Zoom}, {16, 200, Nothing}, {200, 16, Nothing},
                 {-16, -200, Nothing}, {-200, -150, Undo}, {200, -150, Undo}, {-200, 150, Undo},
                 {-17, -17, Undo}}) {
    DrawnChart c;
    int zooms = 0, undos = 0;
    c->OnZoom = [&] { ++zooms; };
    c->OnUndoZoom = [&] { ++undos; };
    const Point from = k.dx > 0 ? Point{150, 150} : Point{400, 380};
    const Point to{from.x + k.dx, from.y + k.dy};
    ASSERT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Left, ssNone, from, c.screen));
    ChartMouseMove(*c, c.layout, to, c.screen);
    const double pressValue = c.layout.Of(c->BottomAxis).PixelToValue(from.x);
    c.repaints = 0;
    ChartMouseUp(*c, c.layout, MouseButton::Left, to, c.screen);
    const std::string what = std::to_string(k.dx) + " x " + std::to_string(k.dy);
    EXPECT_EQ(zooms, k.outcome == Zoom ? 1 : 0) << what;
    EXPECT_EQ(undos, k.outcome == Undo ? 1 : 0) << what;
    EXPECT_EQ(c->IsZoomed, k.outcome == Zoom) << what;
    EXPECT_EQ(c->BottomAxis.Automatic(), k.outcome != Zoom) << what;
    EXPECT_EQ(c.repaints > 0, k.outcome != Nothing) << what;
    if (k.outcome == Zoom) {
      EXPECT_EQ(c->BottomAxis.Minimum(), pressValue) << what;
    }
  }
}

TEST(ZoomToValues, AnimatedStepsMoveAThirdOfTheWayAndRepaintAtOnce) {
  DrawnChart c;
  c->BottomAxis.SetMinMax(0, 81);
  c->AnimatedZoom = true;
  c->AnimatedZoomSteps = 4;
  std::vector<double> maxima, minima;
  c->SetImmediateRepaint([&] {
    maxima.push_back(c->BottomAxis.Maximum());
    minima.push_back(c->BottomAxis.Minimum());
  });
  ZoomRanges target;
  target.bottom = {27, 54};
  target.left = {1, 2};
  ZoomToValues(*c, target);
  // Three steps, each a third of the remaining way: 81 → 72 → 66 → 62.
  EXPECT_EQ(maxima, (std::vector<double>{72, 66, 62}));
  EXPECT_EQ(minima, (std::vector<double>{9, 15, 19}));
  EXPECT_EQ(c->BottomAxis.Minimum(), 27);
  EXPECT_EQ(c->BottomAxis.Maximum(), 54);
  // Saved before the first step: the state before the zoom.
  EXPECT_FALSE(c->SavedAxisState[1].Automatic);
  EXPECT_EQ(c->SavedAxisState[1].Maximum, 81);
  EXPECT_TRUE(c->SavedAxisState[2].Automatic);

  // Not animated: no immediate repaint; a very thin range is kept 1e-10 wide.
  c->AnimatedZoom = false;
  maxima.clear();
  target.left = {5, 5};
  ZoomToValues(*c, target);
  EXPECT_TRUE(maxima.empty());
  EXPECT_EQ(c->LeftAxis.Minimum(), 5);
  EXPECT_EQ(c->LeftAxis.Maximum(), 5 + 1e-10);
}

// The results chart with bars 1 … 10 at 400 × 300 in a 6 × 12 pixel text
// metric: the plot is 18, 35, 382, 270, bar 0 at pixel 42, bar 9 at 358, the
// value 10 at pixel 70 (worked in chart_test's KnownChartAtTwoSizes).
TEST(ZoomToRectangle, TakesItsRangesFromALayoutWithoutAnyPainting) {
  struct FixedMeasure : TextMeasure {
    int TextWidthIn(const FontSpec&, std::string_view text) override { return 6 * static_cast<int>(text.size()); }
    int LineHeightIn(const FontSpec&) override { return 12; }
  } measure;
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  for (int i = 0; i < 10; ++i) s.AppendPoint(i + 1, "c" + std::to_string(i), clWhite);
  const TChartLayout layout = LayOutChart(chart, measure, {0, 0, 400, 300});
  ASSERT_EQ(layout.plot, (Rect{18, 35, 382, 270}));

  // What a press finds is read from the layout too.
  EXPECT_EQ(HitTest(chart, layout, {200, 24}).part, ChartPartKind::None);  // under the title box
  EXPECT_EQ(HitTest(chart, layout, {200, 23}).part, ChartPartKind::Title);
  const ChartHit bar = HitTest(chart, layout, {358, 200});
  EXPECT_EQ(bar.part, ChartPartKind::Series);
  EXPECT_EQ(bar.point, 9);
  EXPECT_EQ(HitTest(chart, layout, {358, 60}).part, ChartPartKind::Plot);  // above the bar

  chart.ZoomDrag = {358, 270, 42, 70, false};  // dragged up and left: ordered first
  const ZoomRanges r = RectangleRanges(chart, layout);
  EXPECT_NEAR(r.bottom.minimum, 0, 1e-12);
  EXPECT_NEAR(r.bottom.maximum, 9, 1e-12);
  EXPECT_NEAR(r.left.minimum, 0, 1e-12);
  EXPECT_NEAR(r.left.maximum, 10, 1e-12);
  ZoomToRectangle(chart, layout);
  EXPECT_NEAR(chart.BottomAxis.Minimum(), 0, 1e-12);
  EXPECT_NEAR(chart.BottomAxis.Maximum(), 9, 1e-12);
  EXPECT_NEAR(chart.LeftAxis.Maximum(), 10, 1e-12);
  EXPECT_TRUE(chart.IsZoomed);
}

TEST(ChartHitTest, FindsSeriesPointsAxesTitleAndPlotInThatOrder) {
  DrawnChart c;
  const TChart& chart = *c;
  const TBarSeries& s = c.series;
  const TChartLayout& layout = c.layout;
  const TProjection& p3 = layout.projection;
  const TSeriesLayout& bars = layout.Of(s);
  const Rect bar = s.BarBox(chart, layout, 4), low = s.BarBox(chart, layout, 0);
  const int midY = (bar.top + bar.bottom) / 2;
  const Point front = p3.ProjectPoint((bar.left + bar.right) / 2, midY, bars.startZ);
  const Point side = p3.ProjectPoint(bar.right, midY, bars.middleZ);
  const Point above = p3.ProjectPoint((low.left + low.right) / 2, low.top - 40, bars.startZ);
  const TChartAxis* bottom = &chart.BottomAxis;
  const TChartAxis* left = &chart.LeftAxis;
  const TAxisLayout& b = layout.Of(*bottom);
  const TAxisLayout& l = layout.Of(*left);
  const int gapX = b.ValueToPixel(4.5);  // between two bars
  const Rect title = layout.title.box;
  ASSERT_GT(title.Width(), 0);
  using K = ChartPartKind;
  struct Case {
    const char* what;
    Point at;
    K part;
    int point;
    const TChartAxis* axis;
  };
  for (Case k : std::vector<Case>{
           {"bar front", front, K::Series, 4, nullptr},
           {"bar side", side, K::Series, 4, nullptr},
           {"above a low bar", above, K::Plot, -1, nullptr},
           {"bottom ticks", {gapX, b.labelPixel}, K::Axis, -1, bottom},
           {"3 above the bottom line", {gapX, b.linePixel - 3}, K::Axis, -1, bottom},
           {"4 above the bottom line", {gapX, b.linePixel - 4}, K::Plot, -1, nullptr},
           {"on the bottom labels", {gapX, b.labelPixel + 1}, K::None, -1, nullptr},
           {"right of the left line", {l.linePixel + 3, l.centerPixel}, K::Axis, -1, left},
           {"plot by the left line", {l.linePixel + 4, l.centerPixel}, K::Plot, -1, nullptr},
           {"title", {(title.left + title.right) / 2, title.top + 2}, K::Title, -1, nullptr},
           {"panel corner", {2, 2}, K::None, -1, nullptr}}) {
    const ChartHit hit = HitTest(chart, layout, k.at);
    EXPECT_EQ(hit.part, k.part) << k.what;
    EXPECT_EQ(hit.point, k.point) << k.what;
    EXPECT_EQ(hit.axis, k.axis) << k.what;
  }
  // Without an active series the plot is not a part that takes a press.
  const Point inPlot{l.linePixel + 10, l.centerPixel};
  c.series.Active = false;
  c.Paint();
  EXPECT_EQ(HitTest(*c, c.layout, inPlot).part, ChartPartKind::None);
}

TEST(ChartMouse, PressesThatStartNoDrag) {
  DrawnChart c;
  const Rect title = c.layout.title.box;
  const Point onTitle{(title.left + title.right) / 2, title.top + 2};
  const Point inPlot = c.layout.PlotCenter();
  EXPECT_FALSE(ChartMouseDown(*c, c.layout, MouseButton::Left, ssNone, onTitle, c.screen));
  EXPECT_FALSE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, onTitle, c.screen));
  EXPECT_FALSE(ChartMouseDown(*c, c.layout, MouseButton::Middle, ssNone, inPlot, c.screen));
  c->AllowZoom = false;
  EXPECT_FALSE(ChartMouseDown(*c, c.layout, MouseButton::Left, ssNone, inPlot, c.screen));
  c->AllowPanning = TPanningMode::pmNone;
  EXPECT_FALSE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, inPlot, c.screen));
  EXPECT_FALSE(c->ZoomDrag.Active || c->ScrollDrag.Active);
  EXPECT_TRUE(c.screen.Log().empty());

  // No key is required, and pressing one does not stop a drag.
  c->AllowZoom = true;
  EXPECT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Left, ssShift | ssCtrl, inPlot, c.screen));
  // A second button during a drag starts nothing, and its release ends no zoom.
  c->AllowPanning = TPanningMode::pmBoth;
  EXPECT_FALSE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, inPlot, c.screen));
  EXPECT_FALSE(c->ScrollDrag.Active);
  ChartMouseUp(*c, c.layout, MouseButton::Right, inPlot, c.screen);
  EXPECT_TRUE(c->ZoomDrag.Active);
}

TEST(ScrollDrag, EachMoveScrollsByTheStepSinceThePreviousOneUntilThePlotIsLeft) {
  DrawnChart c;
  int scrolls = 0;
  c->OnScroll = [&] { ++scrolls; };
  TChartAxis& b = c->BottomAxis;
  TChartAxis& l = c->LeftAxis;
  const double right10 = c.layout.Of(b).PixelToValue(260) - c.layout.Of(b).PixelToValue(250);
  const double down30 = c.layout.Of(l).PixelToValue(200) - c.layout.Of(l).PixelToValue(230);
  ASSERT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, {200, 200}, c.screen));
  ChartMouseMove(*c, c.layout, {250, 200}, c.screen);
  const double bMin = b.Minimum(), lMin = l.Minimum(), lMax = l.Maximum();
  EXPECT_TRUE(l.Automatic());  // no vertical movement yet
  ChartMouseMove(*c, c.layout, {250, 200}, c.screen);
  EXPECT_EQ(scrolls, 1);
  // Down moves the vertical ranges up.
  ChartMouseMove(*c, c.layout, {260, 230}, c.screen);
  EXPECT_NEAR(b.Minimum(), bMin - right10, 1e-12);
  EXPECT_NEAR(l.Minimum(), lMin + down30, 1e-12);
  EXPECT_NEAR(l.Maximum(), lMax + down30, 1e-12);
  EXPECT_EQ(scrolls, 2);
  EXPECT_FALSE(c->IsZoomed);

  // Leaving the plot ends the scroll; coming back does not resume it.
  const double after = b.Minimum();
  ChartMouseMove(*c, c.layout, {c.layout.plot.right + 5, 230}, c.screen);
  EXPECT_FALSE(c->ScrollDrag.Active);
  ChartMouseMove(*c, c.layout, {300, 230}, c.screen);
  EXPECT_EQ(b.Minimum(), after);
  EXPECT_TRUE(c.screen.Log().empty());  // a scroll draws no band
}

// Four numbers of a logged rectangle or clip: "rect l,t,r,b".
Rect LoggedRect(const std::string& line) {
  Rect r;
  std::sscanf(line.c_str() + line.rfind(' ') + 1, "%d,%d,%d,%d", &r.left, &r.top, &r.right, &r.bottom);
  return r;
}

TEST(ScrollDrag, BarsScrolledUpKeepToThePlotAndTheirMarksStayOffTheTitle) {
  DrawnChart c;
  ASSERT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, {300, 350}, c.screen));
  ChartMouseMove(*c, c.layout, {300, 150}, c.screen);  // up: the bars rise out of the plot
  RecordingCanvas paint;
  const TChartLayout layout = DrawChart(*c, paint, kPanel);
  const auto& log = paint.Log();
  TKivCanvas3D projected;
  static_cast<TProjection&>(projected) = layout.projection;
  std::string outline = "clip polygon";
  for (const Point& p : projected.ClipOutline(layout.plot, layout.depthPixels)) outline += " " + ToString(p);
  // The bars: every polygon between the clip to the plot's 3D outline and its end.
  const auto clip = std::find(log.begin(), log.end(), outline);
  ASSERT_NE(clip, log.end());
  const auto unclip = std::find(clip, log.end(), "unclip");
  ASSERT_NE(unclip, log.end());
  EXPECT_EQ(std::count_if(log.begin(), clip, [](auto& l) { return l.rfind("polygon FF0000", 0) == 0; }), 0);
  EXPECT_GT(std::count_if(clip, unclip, [](auto& l) { return l.rfind("polygon FF0000", 0) == 0; }), 0);
  EXPECT_EQ(std::count_if(unclip, log.end(), [](auto& l) { return l.rfind("polygon", 0) == 0; }), 0);

  // The marks: drawn under a clip that ends where the title's room ends.
  ASSERT_NE(unclip + 1, log.end());
  ASSERT_EQ(unclip[1].rfind("clip rect ", 0), 0u) << unclip[1];
  const Rect band = LoggedRect(unclip[1]);
  EXPECT_EQ(band.top, layout.title.box.bottom + 5);
  EXPECT_EQ(band.bottom, layout.plot.bottom);
  const auto end = std::find(unclip + 1, log.end(), "unclip");
  ASSERT_NE(end, log.end());
  int above = 0, marks = 0;
  for (auto l = unclip + 2; l != end; ++l)
    if (l->rfind("rect ", 0) == 0) {
      ++marks;
      if (LoggedRect(*l).top < band.top) ++above;  // would have covered the title
    }
  EXPECT_EQ(marks, 10);
  EXPECT_GT(above, 0);
}

TEST(ScrollDrag, PanningModeAndTheAllowHandlerDecideWhichAxesMove) {
  struct Case {
    TPanningMode mode;
    bool horizontal, vertical;
  };
  for (Case k : {Case{TPanningMode::pmBoth, true, true}, {TPanningMode::pmHorizontal, true, false},
                 {TPanningMode::pmVertical, false, true}}) {
    DrawnChart c;
    c->AllowPanning = k.mode;
    ASSERT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, {200, 200}, c.screen));
    ChartMouseMove(*c, c.layout, {220, 220}, c.screen);
    EXPECT_EQ(!c->BottomAxis.Automatic(), k.horizontal) << int(k.mode);
    EXPECT_EQ(!c->LeftAxis.Automatic(), k.vertical) << int(k.mode);
    ChartMouseUp(*c, c.layout, MouseButton::Left, {220, 220}, c.screen);  // any release ends it
    EXPECT_FALSE(c->ScrollDrag.Active);
  }
  // A handler may refuse an axis or change its proposed range.
  DrawnChart c;
  c->OnAllowScroll = [&](TChartAxis& axis, double& minimum, double& maximum) {
    if (&axis == &c->TopAxis) return false;
    if (&axis == &c->LeftAxis) minimum = -1, maximum = 7;
    return true;
  };
  ASSERT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, {200, 200}, c.screen));
  ChartMouseMove(*c, c.layout, {220, 220}, c.screen);
  EXPECT_TRUE(c->TopAxis.Automatic());
  EXPECT_FALSE(c->BottomAxis.Automatic());
  EXPECT_EQ(c->LeftAxis.Minimum(), -1);
  EXPECT_EQ(c->LeftAxis.Maximum(), 7);
  // Leaving the control ends a scroll as well.
  ChartMouseLeave(*c);
  EXPECT_FALSE(c->ScrollDrag.Active);
}

TEST(UndoZoom, RestoresTheStateBeforeTheFirstZoomOrScroll) {
  DrawnChart c;
  c->LeftAxis.SetMinMax(0, 500);  // a manual axis before any zoom
  c.Paint();
  ZoomRanges target;
  target.left = {100, 200};
  target.bottom = {2, 5};
  ZoomToValues(*c, target);
  target.left = {120, 150};
  ZoomToValues(*c, target);  // a second zoom keeps the first saved state
  ASSERT_TRUE(ChartMouseDown(*c, c.layout, MouseButton::Right, ssNone, {200, 200}, c.screen));
  ChartMouseMove(*c, c.layout, {230, 180}, c.screen);
  UndoZoom(*c);
  EXPECT_FALSE(c->IsZoomed);
  EXPECT_FALSE(c->LeftAxis.Automatic());
  EXPECT_EQ(c->LeftAxis.Minimum(), 0);
  EXPECT_EQ(c->LeftAxis.Maximum(), 500);
  EXPECT_TRUE(c->BottomAxis.Automatic());
  EXPECT_TRUE(c->BottomAxis.AutomaticMinimum());
  // Nothing saved: the undo only repaints.
  c->LeftAxis.SetMinMax(3, 4);
  c.repaints = 0;
  UndoZoom(*c);
  EXPECT_EQ(c->LeftAxis.Minimum(), 3);
  EXPECT_GT(c.repaints, 0);
}

}  // namespace
}  // namespace dw::chart
