#include "ui/lociprint.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "chart/qt/qpainter_canvas.h"

namespace dw::ui {

using chart::Rect;

namespace {

constexpr int kPad = 8;       // around the table
constexpr int kColumnGap = 12;
const chart::Color kFlaggedRow = chart::RGB(255, 214, 214);

chart::FontSpec TableFont(bool bold) {
  chart::FontSpec font;
  font.bold = bold;
  return font;
}

// The words of `line` in lines no wider than `width` (a word wider than
// that alone on its line): a long flagged list must not set the page's
// scale, and so the type size.
std::vector<std::string> Wrapped(const std::string& line, int width, chart::Canvas& canvas) {
  std::vector<std::string> lines;
  std::string current;
  std::size_t at = 0;
  while (at <= line.size()) {
    std::size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    const std::string word = line.substr(at, end - at);
    const std::string longer = current.empty() ? word : current + " " + word;
    if (!current.empty() && canvas.TextWidth(longer) > width) {
      lines.push_back(current);
      current = word;
    } else {
      current = longer;
    }
    at = end + 1;
  }
  lines.push_back(current);
  return lines;
}

int RowsOnPage(const PrintedTable& t) {
  return std::max(1, std::min(TLociTablePrintable::kRowsPerPage, static_cast<int>(t.rows.size())));
}

}  // namespace

void TLociTablePrintable::SetTable(PrintedTable table) {
  table_ = std::move(table);
  // Measured once with the canvas the table prints with, at 96 per inch.
  QImage scratch(1, 1, QImage::Format_RGB32);
  QPainter painter(&scratch);
  chart::QPainterCanvas canvas(painter, 96);
  widths_.assign(table_.columns.size(), 0);
  canvas.SetFont(TableFont(true));
  line_ = canvas.TextHeight("Wg") + 3;
  for (std::size_t c = 0; c < table_.columns.size(); ++c)
    widths_[c] = canvas.TextWidth(table_.columns[c]);
  canvas.SetFont(TableFont(false));
  for (const auto& row : table_.rows)
    for (std::size_t c = 0; c < row.size() && c < widths_.size(); ++c)
      widths_[c] = std::max(widths_[c], canvas.TextWidth(row[c]));
  std::vector<std::string> title;
  for (const std::string& line : table_.title)
    for (std::string& part : Wrapped(line, kPageWidth, canvas)) title.push_back(std::move(part));
  table_.title = std::move(title);
  titleWidth_ = 0;
  for (const std::string& line : table_.title)
    titleWidth_ = std::max(titleWidth_, canvas.TextWidth(line));
  // Column 0 (the locus) leads every group; the others are added while the
  // group fits, a column wider than a page alone.
  groups_.clear();
  for (std::size_t c = 1; c < widths_.size(); ++c) {
    if (groups_.empty() || GroupWidth(groups_.back()) + widths_[c] + kColumnGap > kPageWidth)
      groups_.push_back({0});
    groups_.back().push_back(c);
  }
  if (groups_.empty()) groups_.push_back({0});
}

int TLociTablePrintable::GroupWidth(const std::vector<std::size_t>& group) const {
  int width = 0;
  for (std::size_t c : group)
    if (c < widths_.size()) width += widths_[c] + kColumnGap;
  return width - kColumnGap;
}

chart::LogicalSize TLociTablePrintable::PrintedSize() const {
  int width = titleWidth_;
  for (const auto& group : groups_) width = std::max(width, GroupWidth(group));
  const int lines = static_cast<int>(table_.title.size()) + 1 + 1 + RowsOnPage(table_) +
                    (PageCount() > 1 ? 2 : 0);
  return {width + 2 * kPad, 2 * kPad + lines * line_};
}

int TLociTablePrintable::PageCount() const {
  const int rows = static_cast<int>(table_.rows.size());
  const int blocks = std::max(1, (rows + kRowsPerPage - 1) / kRowsPerPage);
  return blocks * static_cast<int>(std::max<std::size_t>(1, groups_.size()));
}

void TLociTablePrintable::DrawPage(chart::Canvas& canvas, const Rect& rect, int page) {
  canvas.SetBrush({chart::clWhite});
  canvas.FillRect(rect);
  if (groups_.empty()) return;
  const std::vector<std::size_t>& group = groups_[static_cast<std::size_t>(page) % groups_.size()];
  const std::size_t first =
      static_cast<std::size_t>(page) / groups_.size() * static_cast<std::size_t>(kRowsPerPage);
  canvas.SetBackMode(chart::BackMode::Transparent);
  canvas.SetTextAlign(chart::HAlign::Left, chart::VAlign::Top);
  int y = rect.top + kPad;
  canvas.SetFont(TableFont(false));
  for (const std::string& line : table_.title) {
    canvas.TextOut({rect.left + kPad, y}, line);
    y += line_;
  }
  y += line_;
  // Each cell at its column's left edge, numbers against its right edge.
  const auto drawRow = [&](const std::vector<std::string>& cells) {
    int x = rect.left + kPad;
    for (std::size_t c : group) {
      const std::string& text = c < cells.size() ? cells[c] : std::string();
      const bool right = c < table_.numeric.size() && table_.numeric[c];
      canvas.SetTextAlign(right ? chart::HAlign::Right : chart::HAlign::Left, chart::VAlign::Top);
      canvas.TextOut({right ? x + widths_[c] : x, y}, text);
      x += widths_[c] + kColumnGap;
    }
    y += line_;
  };
  canvas.SetFont(TableFont(true));
  drawRow(table_.columns);
  const int right = rect.left + kPad + GroupWidth(group);
  canvas.SetPen({chart::clBlack});
  canvas.Line({rect.left + kPad, y - 2}, {right, y - 2});
  canvas.SetFont(TableFont(false));
  for (std::size_t r = first; r < table_.rows.size() && r < first + kRowsPerPage; ++r) {
    if (r < table_.flagged.size() && table_.flagged[r]) {
      canvas.SetBrush({kFlaggedRow});
      canvas.FillRect({rect.left + kPad - 2, y - 1, right + 2, y + line_ - 2});
    }
    drawRow(table_.rows[r]);
  }
  if (PageCount() > 1) {
    canvas.SetTextAlign(chart::HAlign::Left, chart::VAlign::Top);
    canvas.TextOut({rect.left + kPad, y + line_},
                   "Page " + std::to_string(page + 1) + " of " + std::to_string(PageCount()));
  }
}

chart::LogicalSize TScanPicturePrintable::PrintedSize() const {
  if (!pictures_) return {720, 480};
  // The file's width, within what still prints at 6 points or more on a
  // landscape page.
  const int width = std::clamp(scan::DefaultPictureSize(*pictures_, kind_).width, 720, 960);
  return {width, width * 2 / 3};
}

void TScanPicturePrintable::DrawPage(chart::Canvas& canvas, const Rect& rect, int) {
  if (pictures_) scan::DrawPicture(*pictures_, kind_, canvas, rect);
}

QString TScanPicturePrintable::DocumentTitle() const {
  return kind_ == scan::PictureKind::Delta ? QString("Scan plot") : QString(scan::PictureName(kind_));
}

}  // namespace dw::ui
