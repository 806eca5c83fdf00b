#include "chart/chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "chart/recording_canvas.h"

namespace dw::chart {
namespace {

const Rect kPanel{0, 0, 689, 449};

std::vector<int> Numbers(const std::string& line) {
  std::vector<int> n;
  std::string text = line;
  for (char& c : text)
    if (c == ',') c = ' ';
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    try {
      size_t used = 0;
      const int v = std::stoi(word, &used);
      if (used == word.size()) n.push_back(v);
    } catch (...) {
    }
  }
  return n;
}

TEST(ChartLayout, DefaultMarginsOnTheResultsPanel) {
  TChart chart;
  ConfigureResultsChart(chart);
  EXPECT_EQ(MarginRect(chart, kPanel), (Rect{21, 18, 668, 431}));
  EXPECT_EQ(MulDiv(3, 689, 100), 21);
  EXPECT_EQ(MulDiv(3, 650, 100), 20);  // 19.5 rounds up
  EXPECT_EQ(MulDiv(-3, 650, 100), -20);

  // Degenerate sizes are widened, never fail.
  chart.MarginLeft = 60;
  chart.MarginRight = 60;
  const Rect tiny = MarginRect(chart, {0, 0, 10, 10});
  EXPECT_EQ(tiny.right, tiny.left + 1);
}

TEST(ChartLayout, TitleLinesTakeTheirHeightPlusFive) {
  TChart chart;
  ConfigureResultsChart(chart);
  RecordingCanvas canvas;
  const int lineHeight = RecordingCanvas::LineHeightOf(chart.Title.Font.Resolved(96));
  ASSERT_EQ(lineHeight, 15);  // 13-pixel Arial in the recording metric
  chart.Title.Text.SetLines({"Histogram of simulated values of Delta", "N=100, m=0.1000, Delta obs=0.0050",
                             "Amongst 1000 simulations, 963 lower values, 37 higher values"});
  Rect plot = MarginRect(chart, kPanel);
  const TTitleLayout placed = PlaceTitle(chart, chart.Title, true, canvas, kPanel, plot);
  PaintTitle(canvas, chart.Title, placed);
  EXPECT_EQ(plot.top, 18 + 3 * lineHeight + 5);
  // Centred lines, one line height apart, on a white box as wide as the
  // longest line plus a "W".
  const int cw = RecordingCanvas::CharWidth(chart.Title.Font.Resolved(96));
  const std::string longest = chart.Title.Text[2];
  const int w = cw + static_cast<int>(longest.size()) * cw;
  const int m = (21 + 668) / 2;
  EXPECT_TRUE(canvas.Has("brush FFFFFF solid"));
  EXPECT_TRUE(canvas.Has("rect " + ToString(Rect{m - w / 2, 18, m + w / 2, 18 + 3 * lineHeight})));
  const auto texts = canvas.Lines("text ");
  ASSERT_EQ(texts.size(), 3u);
  const int width2 = static_cast<int>(longest.size()) * cw;
  EXPECT_EQ(texts[2], "text " + ToString(Point{m - width2 / 2, 18 + 2 * lineHeight}) + " " + longest);
  EXPECT_EQ(placed.box.top, 18);

  // No lines: no room, nothing painted.
  canvas.ClearLog();
  chart.Title.Text.Clear();
  plot = MarginRect(chart, kPanel);
  PaintTitle(canvas, chart.Title, PlaceTitle(chart, chart.Title, true, canvas, kPanel, plot));
  EXPECT_EQ(plot.top, 18);
  EXPECT_TRUE(canvas.Lines("rect").empty());
  EXPECT_TRUE(canvas.Lines("text").empty());

  // A foot takes its room from the bottom.
  chart.Foot.Text.SetLines({"foot"});
  PlaceTitle(chart, chart.Foot, false, canvas, kPanel, plot);
  EXPECT_EQ(plot.bottom, 431 - RecordingCanvas::LineHeightOf(chart.Foot.Font.Resolved(96)) - 5);
}

TEST(ChartLayout, DepthIsOnePointFivePercentOfThePlotWidth) {
  TChart chart;
  ConfigureResultsChart(chart);
  struct Case {
    int width;
    int depth;
  };
  TChartLayout layout;
  for (const Case& c : {Case{640, 10}, {600, 9}, {647, 10}, {100, 2}}) {
    layout.plot = {0, 0, c.width, 300};
    ComputeDepth(chart, 1, layout);
    EXPECT_EQ(layout.depthPixels, c.depth) << c.width;
  }
  chart.View3D = false;
  ComputeDepth(chart, 1, layout);
  EXPECT_EQ(layout.depthPixels, 0);
}

// Every character 6 pixels wide and every line 12 high, in any font: a
// layout measured without a canvas.
class FixedMeasure : public TextMeasure {
 public:
  int TextWidthIn(const FontSpec&, std::string_view text) override { return 6 * static_cast<int>(text.size()); }
  int LineHeightIn(const FontSpec&) override { return 12; }
};

// The results chart with bars 1 … 10 labelled c0 … c9, laid out at two sizes;
// the numbers are worked by hand in the comments.
TEST(ChartLayout, KnownChartAtTwoSizes) {
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  for (int i = 0; i < 10; ++i) s.AppendPoint(i + 1, "c" + std::to_string(i), clWhite);
  struct Case {
    Rect panel;
    Rect titleBox;  // 38 characters + "W" = 234 wide, centred between the margins
    Point titleAt;
    Rect plot;  // margins, title + 5, depth, bottom labels 12 + 6, left 6
    int depth;  // 1.5 % of the plot's width
    int labelPixel;
    double leftHigh;  // 35 pixels of mark room above 10
    double bottomLow;  // one bar width of room left of 0
    int barWidth;  // 70 % of the length / 11, made even
    Rect firstBar, lastBar;
    Point center;
  };
  for (const Case& c : {Case{{0, 0, 689, 449}, {227, 18, 461, 30}, {230, 18}, {27, 45, 658, 413}, 10, 419,
                             3680.0 / 333, -360.0 / 551, 40, {47, 380, 87, 413}, {598, 80, 638, 413}, {342, 229}},
                        Case{{0, 0, 400, 300}, {83, 12, 317, 24}, {86, 12}, {18, 35, 382, 270}, 6, 276, 11.75,
                             -216.0 / 316, 24, {30, 250, 54, 270}, {346, 70, 370, 270}, {200, 152}}}) {
    FixedMeasure measure;
    const TChartLayout layout = LayOutChart(chart, measure, c.panel);
    const std::string size = std::to_string(c.panel.right) + " x " + std::to_string(c.panel.bottom);
    EXPECT_EQ(layout.title.box, c.titleBox) << size;
    ASSERT_EQ(layout.title.lines.size(), 1u) << size;
    EXPECT_EQ(layout.title.lines[0].at, c.titleAt) << size;
    EXPECT_FALSE(layout.foot.shown) << size;
    EXPECT_EQ(layout.plot, c.plot) << size;
    EXPECT_EQ(layout.depthPixels, c.depth) << size;
    const TAxisLayout& bottom = layout.Of(chart.BottomAxis);
    const TAxisLayout& left = layout.Of(chart.LeftAxis);
    EXPECT_EQ(bottom.labelPixel, c.labelPixel) << size;
    EXPECT_EQ(bottom.linePixel, c.plot.bottom) << size;
    EXPECT_EQ(left.linePixel, c.plot.left) << size;
    EXPECT_EQ(left.lowValue, 0) << size;
    EXPECT_NEAR(left.highValue, c.leftHigh, 1e-12) << size;
    EXPECT_NEAR(bottom.lowValue, c.bottomLow, 1e-12) << size;
    EXPECT_NEAR(bottom.highValue, 9 - c.bottomLow, 1e-12) << size;
    EXPECT_EQ(layout.Of(s).barWidth, c.barWidth) << size;
    EXPECT_EQ(layout.Of(s).firstVisible, 0) << size;
    EXPECT_EQ(layout.Of(s).lastVisible, 9) << size;
    EXPECT_EQ(s.BarBox(chart, layout, 0), c.firstBar) << size;
    EXPECT_EQ(s.BarBox(chart, layout, 9), c.lastBar) << size;
    EXPECT_EQ(layout.projection.center, c.center) << size;
  }
  // Laying out writes nothing into the chart: only a drawing keeps the range it showed.
  EXPECT_EQ(chart.BottomAxis.Maximum(), 0);
}

TEST(ChartDrawing, EmptyChartBeforeTheFirstRun) {
  TChart chart;
  ConfigureResultsChart(chart);
  chart.canvas3D.buffered = false;
  RecordingCanvas canvas;
  const TChartLayout layout = DrawChart(chart, canvas, kPanel);
  // Background, the one-line title, then the plot.
  EXPECT_EQ(canvas.Log()[0], "brush FFFFFF solid");
  EXPECT_EQ(canvas.Log()[1], "fill FFFFFF 0,0,689,449");
  const auto texts = canvas.Lines("text ");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("Histogram of simulated values of Delta"), std::string::npos);
  // One value label "0" at the centre of the bottom axis, turned 90 degrees.
  const auto rotated = canvas.Lines("rotated ");
  ASSERT_EQ(rotated.size(), 1u);
  const TAxisLayout& bottom = layout.Of(chart.BottomAxis);
  EXPECT_EQ(bottom.lowValue, 0);
  EXPECT_EQ(bottom.highValue, 0);
  const int h = RecordingCanvas::LineHeightOf(chart.BottomAxis.LabelsFont.Resolved(96)) / 2;
  EXPECT_EQ(rotated[0], "rotated 90 " + ToString(Point{bottom.centerPixel - h, bottom.labelPixel}) + " 0");
  // The bottom axis takes the label's width, a space and 6 pixels; the left axis 6.
  const int cw = RecordingCanvas::CharWidth(chart.BottomAxis.LabelsFont.Resolved(96));
  EXPECT_EQ(bottom.labelPixel, 431 - 2 * cw);
  EXPECT_EQ(layout.plot.bottom, bottom.labelPixel - 6);
  EXPECT_EQ(layout.plot.left, 21 + 6);
  // No bars, no marks, and the left axis draws only its line: one tick line
  // is the bottom axis'.
  EXPECT_TRUE(canvas.Lines("polygon FF0000").empty());
  const int tickTop = layout.plot.bottom + 1;
  int ticks = 0, leftTicks = 0;
  for (const std::string& line : canvas.Lines("line ")) {
    const auto n = Numbers(line);
    if (n[0] == n[2] && n[1] == tickTop && n[3] == tickTop + 4) ++ticks;
    if (n[1] == n[3] && n[0] == layout.plot.left - 1) ++leftTicks;
  }
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(leftTicks, 0);
}

// Ten classes as a run fills them: counts, labels, the red class.
TBarSeries& FillHistogram(TChart& chart, const std::vector<int>& counts, int red) {
  TBarSeries& s = static_cast<TBarSeries&>(chart.Series(0));
  s.RemoveAllPoints();
  for (int i = 0; i < static_cast<int>(counts.size()); ++i) {
    const std::string label = "0.00" + std::to_string(i) + "0 to 0.00" + std::to_string(i + 1) + "0";
    s.AppendPoint(counts[size_t(i)], label, i == red ? 0x0000FFu : 0xFFFFFFu);
  }
  return s;
}

TEST(ChartDrawing, AllCountsZeroGiveFlatBarsAndZeroMarks) {
  TChart chart;
  ConfigureResultsChart(chart);
  chart.canvas3D.buffered = false;
  FillHistogram(chart, std::vector<int>(10, 0), 3);
  RecordingCanvas canvas;
  const TChartLayout layout = DrawChart(chart, canvas, kPanel);
  EXPECT_EQ(layout.Of(chart.LeftAxis).lowValue, 0);
  EXPECT_EQ(layout.Of(chart.LeftAxis).highValue, 0);  // no top margin without a count
  // Front faces (after the bar brush) have equal top and bottom.
  int fronts = 0;
  const auto& log = canvas.Log();
  const size_t clip = static_cast<size_t>(
      std::find_if(log.begin(), log.end(), [](auto& l) { return l.rfind("clip polygon", 0) == 0; }) -
      log.begin());
  for (size_t k = clip; k + 1 < log.size(); ++k) {
    if (log[k].rfind("brush ", 0) == 0 && (log[k].find("solid") != std::string::npos) &&
        log[k + 1].rfind("backmode transparent", 0) == 0 && k + 2 < log.size() &&
        log[k + 2].rfind("polygon ", 0) == 0) {
      const auto n = Numbers(log[k + 2]);
      EXPECT_EQ(n[1], n[7]) << log[k + 2];
      ++fronts;
    }
  }
  EXPECT_EQ(fronts, 10);
  int zeros = 0;
  for (const std::string& t : canvas.Lines("text "))
    if (t.size() > 2 && t.substr(t.size() - 2) == " 0") ++zeros;
  EXPECT_EQ(zeros, 10);
  EXPECT_EQ(canvas.Lines("rotated 90").size(), 10u);
}

TEST(ChartDrawing, AfterARunTenBarsTenLabelsAndMarksAboveTheBars) {
  TChart chart;
  ConfigureResultsChart(chart);
  chart.canvas3D.buffered = false;
  const std::vector<int> counts{12, 40, 98, 180, 230, 200, 130, 70, 30, 10};
  TBarSeries& s = FillHistogram(chart, counts, 4);
  chart.Title.Text.SetLines({"a", "b", "c"});
  RecordingCanvas canvas;
  const TChartLayout layout = DrawChart(chart, canvas, kPanel);

  const TAxisLayout& bottom = layout.Of(chart.BottomAxis);
  const TSeriesLayout& bars = layout.Of(s);
  EXPECT_EQ(bars.barWidth, s.CalcBarWidth(chart, layout));
  EXPECT_EQ(bottom.ValueToPixel(0), bottom.startPixel + bars.barWidth);
  EXPECT_EQ(bottom.ValueToPixel(9), bottom.endPixel - bars.barWidth);
  // The tallest bar's mark leaves room above it for the box and arrow.
  const TAxisLayout& left = layout.Of(chart.LeftAxis);
  const int markRoom = RecordingCanvas::LineHeightOf(s.Marks.Font.Resolved(96)) + 20 + 2 + 1;
  EXPECT_EQ(left.ValueToPixel(230), left.startPixel + markRoom);
  EXPECT_EQ(left.ValueToPixel(0), left.endPixel);

  // Ten class labels read upward under their bars.
  const auto rotated = canvas.Lines("rotated 90 ");
  ASSERT_EQ(rotated.size(), 10u);
  const int h = RecordingCanvas::LineHeightOf(chart.BottomAxis.LabelsFont.Resolved(96)) / 2;
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(rotated[size_t(i)], "rotated 90 " + ToString(Point{bottom.ValueToPixel(i) - h, bottom.labelPixel}) +
                                      " " + s.Label(i));
  // The red class: red front, (127, 0, 0) side, (191, 0, 0) top.
  const auto& log = canvas.Log();
  const auto red = std::find(log.begin(), log.end(), "brush FF0000 solid");
  ASSERT_NE(red, log.end());
  const auto front = std::find_if(red, log.end(), [](auto& l) { return l.rfind("polygon", 0) == 0; });
  ASSERT_NE(front, log.end());
  const Rect box = s.BarBox(chart, layout, 4);
  const TProjection& c3d = layout.projection;
  EXPECT_EQ(*front, "polygon FF0000 solid " + ToString(c3d.ProjectPoint(box.left, box.top, bars.startZ)) + " " +
                        ToString(c3d.ProjectPoint(box.right, box.top, bars.startZ)) + " " +
                        ToString(c3d.ProjectPoint(box.right, box.bottom, bars.startZ)) + " " +
                        ToString(c3d.ProjectPoint(box.left, box.bottom, bars.startZ)));
  EXPECT_EQ((front + 1)->substr(0, 21), "brush 7F0000 solid");
  EXPECT_EQ((front + 3)->substr(0, 21), "brush BF0000 solid");
  // Its mark: an arrow up from the bar's top centre, a white box over it.
  const int mid = box.left + bars.barWidth / 2;
  const Point from = c3d.ProjectPoint(mid, box.top, bars.middleZ);
  const Point to = c3d.ProjectPoint(mid, box.top - 20, bars.middleZ);
  EXPECT_TRUE(canvas.Has("line " + ToString(from) + " " + ToString(to)));
  const FontSpec markFont = s.Marks.Font.Resolved(96);
  const int bw = 3 * RecordingCanvas::CharWidth(markFont) + RecordingCanvas::CharWidth(markFont) + 2;
  const int bh = RecordingCanvas::LineHeightOf(markFont) + 2;
  const Rect markBox{to.x - bw / 2, to.y - bh + 1, to.x - bw / 2 + bw, to.y + 1};
  EXPECT_TRUE(canvas.Has("rect " + ToString(markBox))) << ToString(markBox);
  EXPECT_TRUE(canvas.Has("text " + ToString(Point{markBox.left + bw / 2, markBox.top + 1}) + " 230"));
  // Points are clipped to the box outline, marks are not.
  EXPECT_EQ(canvas.Lines("clip polygon").size(), 1u);
}

TEST(ChartDrawing, WallsAndTheirColours) {
  TChart chart;
  ConfigureResultsChart(chart);
  chart.canvas3D.buffered = false;
  RecordingCanvas canvas;
  const TChartLayout layout = DrawChart(chart, canvas, kPanel);
  const Rect& p = layout.plot;
  const TProjection& c = layout.projection;
  const int d = layout.depthPixels;
  auto quad = [&](Point a, Point b, Point e, Point f) {
    return ToString(a) + " " + ToString(b) + " " + ToString(e) + " " + ToString(f);
  };
  // The back wall is only outlined, the left wall light yellow, the floor white.
  EXPECT_TRUE(canvas.Has("polygon 000000 clear " +
                         quad(c.ProjectPoint(p.left + 1, p.top - 1, d), c.ProjectPoint(p.right, p.top - 1, d),
                              c.ProjectPoint(p.right, p.bottom, d), c.ProjectPoint(p.left + 1, p.bottom, d))));
  EXPECT_TRUE(canvas.Has("polygon FFFF80 solid " +
                         quad(c.ProjectPoint(p.left, p.top, 0), c.ProjectPoint(p.left, p.top, d + 1),
                              c.ProjectPoint(p.left, p.bottom, d + 1), c.ProjectPoint(p.left, p.bottom, 0))));
  EXPECT_TRUE(canvas.Has("polygon FFFFFF solid " +
                         quad(c.ProjectPoint(p.left, p.bottom, 0), c.ProjectPoint(p.right, p.bottom, 0),
                              c.ProjectPoint(p.right, p.bottom, d), c.ProjectPoint(p.left, p.bottom, d))));
  // The 3D box was carved out of the plot before the axes took their room.
  EXPECT_EQ(d, 10);
  EXPECT_EQ(p.right, 668 - 10);

  // In 2D only the back wall, as a plain rectangle.
  canvas.ClearLog();
  chart.View3D = false;
  const TChartLayout flat = DrawChart(chart, canvas, kPanel);
  EXPECT_EQ(flat.depthPixels, 0);
  const Rect& q = flat.plot;
  EXPECT_TRUE(canvas.Has("rect " + ToString(Rect{q.left, q.top, q.right + 1, q.bottom})));
  EXPECT_TRUE(canvas.Lines("polygon").empty());
}

TEST(ChartDrawing, UnchangedBufferedChartRepaintsByOneCopy) {
  TChart chart;
  ConfigureResultsChart(chart);
  RecordingCanvas window;
  TChartLayout drawn;
  PaintChart(chart, window, kPanel, drawn);
  PaintChart(chart, window, kPanel, drawn);
  EXPECT_EQ(window.Lines("bitmap ").size(), 1u);
  EXPECT_EQ(window.Lines("fill ").size(), 1u);  // one full drawing
  EXPECT_EQ(window.Lines("copy bitmap 689x449 at 0,0").size(), 2u);
  // A change redraws into the same bitmap; a new size makes a new one.
  chart.Title.Text.Add("second line");
  PaintChart(chart, window, kPanel, drawn);
  EXPECT_EQ(window.Lines("fill ").size(), 2u);
  EXPECT_EQ(window.Lines("bitmap ").size(), 1u);
  PaintChart(chart, window, {0, 0, 400, 250}, drawn);
  EXPECT_EQ(window.Lines("bitmap ").size(), 2u);
  // Nothing while printing.
  chart.PrintingInProgress = true;
  window.ClearLog();
  chart.Invalidate();
  PaintChart(chart, window, kPanel, drawn);
  EXPECT_TRUE(window.Log().empty());
}

TEST(Canvas3D, ZoomScalesTheDrawingAndTheAxisText) {
  TChart chart;
  TBarSeries& s = ConfigureResultsChart(chart);
  for (int i = 0; i < 10; ++i) s.AppendPoint(i + 1, "label" + std::to_string(i), clWhite);
  chart.canvas3D.buffered = false;
  chart.View3DOptions.Zoom = 200;
  RecordingCanvas canvas;
  DrawChart(chart, canvas, kPanel);
  const auto& log = canvas.Log();
  const auto label = std::find_if(log.begin(), log.end(), [](auto& l) { return l.rfind("rotated 90", 0) == 0; });
  ASSERT_NE(label, log.end());
  ASSERT_NE(label, log.begin());
  EXPECT_EQ(*(label - 1), "font Arial -22 000000");  // 11 pixels doubled
  EXPECT_EQ(*(label + 1), "font Arial -11 000000");
  const Point c = chart.canvas3D.center;
  EXPECT_EQ(chart.canvas3D.ProjectPoint(c.x + 10, c.y, 0), (Point{c.x + 20, c.y}));
  chart.View3DOptions.ZoomText = false;
  canvas.ClearLog();
  DrawChart(chart, canvas, kPanel);
  EXPECT_TRUE(canvas.Lines("font Arial -22").empty());
}

TEST(Canvas3D, ProjectionAndShading) {
  TKivCanvas3D c;
  c.center = {300, 200};
  c.offsetCenter = {300, 200};
  EXPECT_EQ(c.ProjectPoint(100, 50, 0), (Point{100, 50}));
  EXPECT_EQ(c.ProjectPoint(100, 50, 10), (Point{110, 40}));  // right and up by z
  c.zoom = 0.5;
  EXPECT_EQ(c.ProjectPoint(101, 200, 0), (Point{200, 200}));  // -99.5 to even: -100
  c.offsetCenter = {310, 195};
  EXPECT_EQ(c.ProjectPoint(300, 200, 0), (Point{310, 195}));

  struct Case {
    Color c;
    int q;
    Color dark;
  };
  for (const Case& k : {Case{clRed, 128, RGB(127, 0, 0)}, {clRed, 64, RGB(191, 0, 0)},
                        {clWhite, 128, RGB(127, 127, 127)}, {clWhite, 64, RGB(191, 191, 191)},
                        {RGB(100, 200, 128), 128, RGB(0, 72, 0)}, {clLightYellow, 64, RGB(191, 191, 64)}})
    EXPECT_EQ(DarkenColor(k.c, k.q), k.dark) << std::hex << k.c;
}

}  // namespace
}  // namespace dw::chart
