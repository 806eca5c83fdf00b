#pragma once
// The Loci tab's table: one row per locus of the data file, the cells
// `driftwise observe` prints and, after a scan, the scan's columns beside
// them, each cell the very text the command line writes (numbers shown with
// the locale's decimal separator). Loci flagged by a test are marked.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <string>
#include <vector>

#include "runtime/numtext.h"

namespace dw::ui {

class TLociModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The text as the command line writes it, whatever the locale.
  static constexpr int TextRole = Qt::UserRole + 1;
  // A number for numeric cells (NA: none), else the text: what sorting uses.
  static constexpr int SortRole = Qt::UserRole + 2;

  using Rows = std::vector<std::vector<std::string>>;
  enum Flag : unsigned { kNotFlagged = 0, kFlaggedDelta = 1, kFlaggedWc = 2 };

  explicit TLociModel(QObject* parent = nullptr);

  // The observed table alone; any scan columns go.
  void SetObserved(const std::vector<std::string>& columns, const Rows& rows);
  // The scan's columns after the observed ones; `flags` per row.
  void AddScan(const std::vector<std::string>& columns, const Rows& rows,
               const std::vector<unsigned>& flags);
  void Clear();
  bool HasScan() const { return observedColumns_ < columns_.size(); }
  // The column named so, -1 when there is none.
  int ColumnOf(const std::string& name) const;
  const std::string& Text(int row, int column) const { return rows_[row][column]; }
  const std::vector<std::string>& Columns() const { return columns_; }
  const std::vector<std::string>& Row(int row) const { return rows_[row]; }
  unsigned FlagOf(int row) const { return flags_.empty() ? kNotFlagged : flags_[row]; }
  void SetNumberMarks(const NumberMarks& marks);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  bool Numeric(int column) const;

  std::vector<std::string> columns_;
  std::size_t observedColumns_ = 0;
  Rows rows_;
  std::vector<unsigned> flags_;
  std::vector<bool> numeric_;  // per column
  NumberMarks marks_{'.', ','};
};

// Sorts numbers as numbers and texts as texts; NA comes after every number
// whichever way the column sorts. Ties keep the file order.
class TLociSortModel : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace dw::ui
