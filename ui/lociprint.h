#pragma once
// What the Loci tab shows, as the print preview prints it and as the tab
// draws it: the loci's table (page after page of rows under the column
// names) and the scan's picture. Both are drawn on the chart canvas.
#include <string>
#include <vector>

#include "chart/qt/print.h"
#include "scan/pictures.h"

namespace dw::ui {

// A snapshot of the table as shown: its title lines, column names, cells,
// which columns hold numbers (right-aligned) and which rows are flagged.
struct PrintedTable {
  std::vector<std::string> title;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<bool> numeric;  // per column
  std::vector<bool> flagged;  // per row
};

// The table on paper: pages of kRowsPerPage rows under the column names;
// a table wider than kPageWidth is cut into groups of columns that each
// fit, every group led by the locus column, the groups of a block of rows
// on consecutive pages. Title lines wider than a page are wrapped.
class TLociTablePrintable : public chart::TPrintSettings {
 public:
  // A landscape Letter or A4 page within the preview's default margins holds
  // this many rows and this width at 8 pt or more; a longer table takes more
  // pages rather than smaller type.
  static constexpr int kRowsPerPage = 24;
  static constexpr int kPageWidth = 700;  // pixels of the print font

  void SetTable(PrintedTable table);
  const PrintedTable& Table() const { return table_; }
  chart::LogicalSize PrintedSize() const override;
  int PageCount() const override;
  void DrawPage(chart::Canvas& canvas, const chart::Rect& rect, int page) override;
  QString DocumentTitle() const override { return "Loci"; }
  // The columns of each group, in order.
  const std::vector<std::vector<std::size_t>>& ColumnGroups() const { return groups_; }

 private:
  int GroupWidth(const std::vector<std::size_t>& group) const;
  PrintedTable table_;
  std::vector<std::vector<std::size_t>> groups_;
  std::vector<int> widths_;  // per column, pixels of the print font
  int titleWidth_ = 0;
  int line_ = 14;
};

// A scan picture on paper. It is laid out at a readable 3:2 (wide enough
// for its loci up to a page's worth), not at the on-screen strip's shape, and
// the print scales it alike across and down onto the printed area.
class TScanPicturePrintable : public chart::TPrintSettings {
 public:
  // Not owned; they must outlive the print.
  void SetPicture(const scan::ScanPictures* pictures, scan::PictureKind kind) {
    pictures_ = pictures;
    kind_ = kind;
  }
  scan::PictureKind Kind() const { return kind_; }
  chart::LogicalSize PrintedSize() const override;
  void DrawPage(chart::Canvas& canvas, const chart::Rect& rect, int page) override;
  QString DocumentTitle() const override;

 private:
  const scan::ScanPictures* pictures_ = nullptr;
  scan::PictureKind kind_ = scan::PictureKind::Delta;
};

}  // namespace dw::ui
