#include "chart/layout.h"

#include <cmath>
#include <utility>

#include "chart/axis.h"
#include "chart/series.h"
#include "runtime/random.h"

namespace dw::chart {

namespace {

// Beyond this many pixels a value is off any screen: it maps to the centre.
constexpr long double kFarPixels = 2147483647.0L;

}  // namespace

Point TProjection::ProjectPoint(int x, int y, int z) const {
  if (!is3D) return {x, y};
  return {static_cast<int>(RoundToInt(static_cast<long double>(x - center.x + z) * zoom)) +
              offsetCenter.x,
          static_cast<int>(RoundToInt(static_cast<long double>(y - center.y - z) * zoom)) +
              offsetCenter.y};
}

int TAxisLayout::ValueToPixel(double v) const {
  if (valueSpan == 0) return centerPixel;
  const long double d = (static_cast<long double>(v) - lowValue) * length / valueSpan;
  if (!(std::fabs(d) < kFarPixels)) return centerPixel;
  const int r = static_cast<int>(RoundToInt(d));
  if (horizontal) return inverted ? endPixel - r : startPixel + r;
  return inverted ? startPixel + r : endPixel - r;
}

double TAxisLayout::PixelToValue(int p) const {
  if (length < 1) return 0;
  const long double c =
      static_cast<long double>(inverted ? endPixel - p : p - startPixel) * valueSpan / length;
  return static_cast<double>(horizontal ? lowValue + c : highValue - c);
}

void TAxisLayout::PlacePixels(int edge, int size, int startPercent, int endPercent) {
  startPixel = edge + static_cast<int>(RoundToInt(size * 0.01L * startPercent));
  endPixel = edge + static_cast<int>(RoundToInt(size * 0.01L * endPercent));
  length = endPixel - startPixel;
  centerPixel = (startPixel + endPixel) / 2;
}

void TAxisLayout::WidenByPixels(int lower, int upper) {
  const TAxisLayout placed = *this;
  startPixel += lower;
  endPixel -= upper;
  length = endPixel - startPixel;
  double u = PixelToValue(placed.startPixel), v = PixelToValue(placed.endPixel);
  *this = placed;
  if (u > v) std::swap(u, v);
  lowValue = u;
  highValue = v;
  valueSpan = highValue - lowValue;
}

const TAxisLayout& TChartLayout::Of(const TChartAxis& axis) const { return axes[AxisIndex(axis.kind)]; }
TAxisLayout& TChartLayout::Of(const TChartAxis& axis) { return axes[AxisIndex(axis.kind)]; }

const TSeriesLayout& TChartLayout::Of(const TChartSeries& s) const {
  static const TSeriesLayout kNotLaidOut;
  for (const TSeriesLayout& l : series)
    if (l.series == &s) return l;
  return kNotLaidOut;
}

}  // namespace dw::chart
