#include "ui/locimodel.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <charconv>
#include <map>
#include <cmath>
#include <optional>

namespace dw::ui {

namespace {

// Texts whatever they hold: the name, the chromosome, the reasons and the flags.
bool TextColumn(const std::string& name) {
  return name == "locus" || name == "chrom" || name == "note" || name == "flag" ||
         name == "flag_wc";
}

std::optional<double> Number(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end) return std::nullopt;
  return value;
}

const QColor kDeltaFlagColour(255, 214, 214);  // the plot's red point, pale
const QColor kWcFlagColour(255, 232, 204);      // its orange ring, pale

}  // namespace

TLociModel::TLociModel(QObject* parent) : QAbstractTableModel(parent) {}

void TLociModel::SetObserved(const std::vector<std::string>& columns, const Rows& rows) {
  beginResetModel();
  columns_ = columns;
  observedColumns_ = columns.size();
  rows_ = rows;
  flags_.clear();
  numeric_.assign(columns_.size(), false);
  for (std::size_t c = 0; c < columns_.size(); ++c) numeric_[c] = !TextColumn(columns_[c]);
  endResetModel();
}

void TLociModel::AddScan(const std::vector<std::string>& columns, const Rows& rows,
                         const std::vector<unsigned>& flags) {
  beginResetModel();
  columns_.resize(observedColumns_);
  columns_.insert(columns_.end(), columns.begin(), columns.end());
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    rows_[r].resize(observedColumns_);
    rows_[r].insert(rows_[r].end(), rows[r].begin(), rows[r].end());
  }
  flags_ = flags;
  numeric_.resize(observedColumns_);
  for (const std::string& name : columns) numeric_.push_back(!TextColumn(name));
  endResetModel();
}

void TLociModel::Clear() { SetObserved({}, {}); }

int TLociModel::ColumnOf(const std::string& name) const {
  for (std::size_t c = 0; c < columns_.size(); ++c)
    if (columns_[c] == name) return static_cast<int>(c);
  return -1;
}

void TLociModel::SetNumberMarks(const NumberMarks& marks) {
  marks_ = marks;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool TLociModel::Numeric(int column) const { return numeric_[static_cast<std::size_t>(column)]; }

int TLociModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TLociModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TLociModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const std::string& text = Text(index.row(), index.column());
  switch (role) {
    case TextRole:
      return QString::fromStdString(text);
    case Qt::DisplayRole: {
      QString shown = QString::fromStdString(text);
      if (Numeric(index.column()) && marks_.decimal != '.')
        shown.replace('.', QChar(marks_.decimal));
      return shown;
    }
    case SortRole:
      if (Numeric(index.column())) {
        if (const auto value = Number(text)) return *value;
        return {};
      }
      return QString::fromStdString(text);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignVCenter |
                                 (Numeric(index.column()) ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::BackgroundRole: {
      const unsigned flag = FlagOf(index.row());
      if (flag & kFlaggedDelta) return QBrush(kDeltaFlagColour);
      if (flag & kFlaggedWc) return QBrush(kWcFlagColour);
      return {};
    }
    case Qt::FontRole:
      if (FlagOf(index.row()) != kNotFlagged) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default:
      return {};
  }
}

namespace {

// What a column's command-line name means, for its header's tooltip.
QString ColumnMeaning(const std::string& column) {
  static const std::map<std::string, const char*> meanings = {
      {"locus", "The locus's name"},
      {"chrom", "Chromosome (VCF)"},
      {"pos", "Position on the chromosome (VCF)"},
      {"samples", "Samples (populations) with the locus typed"},
      {"alleles", "Alleles seen"},
      {"n_min", "Fewest individuals typed in a sample"},
      {"n_mean", "Mean individuals typed per sample"},
      {"n_max", "Most individuals typed in a sample"},
      {"Ho", "Observed heterozygosity"},
      {"He", "Expected heterozygosity"},
      {"WC", "Fst estimated after Weir & Cockerham"},
      {"RH", "Fst estimated after Robertson & Hill"},
      {"Delta", "WC - RH, the statistic the Delta test uses"},
      {"note", "Why a locus is not tested, or how it is tested"},
      {"n", "Sample size of the locus's simulations"},
      {"simulations", "Simulations of the locus (defined ones)"},
      {"lower", "Simulated Delta not above the observed"},
      {"higher", "Simulated Delta above the observed"},
      {"p_higher", "Delta test: (higher + 1)/(simulations + 1)"},
      {"p_lower", "Delta test: (lower + 1)/(simulations + 1)"},
      {"p_two_sided", "Delta test: twice the smaller tail, at most 1"},
      {"q_value", "Delta test's q-value over the loci (false discovery rate)"},
      {"flag", "Flagged by the Delta test (q within the false discovery rate)"},
      {"seed", "Seed of the locus's simulations"},
      {"undefined", "Simulations left out: every sampled gene copy the same allele"},
      {"p_wc_higher", "WC test: share of simulated WC above the observed"},
      {"p_wc_lower", "WC test: share of simulated WC not above the observed"},
      {"q_wc", "WC test's q-value over the loci"},
      {"flag_wc", "Flagged by the WC test"},
      {"wc_lower", "Simulated WC not above the observed"},
      {"wc_higher", "Simulated WC above the observed"},
      {"stop", "Why the locus's simulations stopped"},
      {"null", "The shared null the locus was simulated under"},
  };
  const auto found = meanings.find(column);
  return found == meanings.end() ? QString() : QString(found->second);
}

}  // namespace

QVariant TLociModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && section >= 0 &&
      static_cast<std::size_t>(section) < columns_.size())
    return ColumnMeaning(columns_[static_cast<std::size_t>(section)]);
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  // Rows are headed by their locus, which stays in view as the table scrolls.
  if (orientation == Qt::Vertical) return data(index(section, 0), Qt::DisplayRole);
  return QString::fromStdString(columns_[static_cast<std::size_t>(section)]);
}

bool TLociSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const QVariant a = left.data(TLociModel::SortRole), b = right.data(TLociModel::SortRole);
  if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double || !a.isValid() ||
      !b.isValid()) {
    // NA (no number) after every number whichever way the column sorts; two
    // NA keep their order.
    const bool descending = sortOrder() == Qt::DescendingOrder;
    if (!a.isValid()) return descending && b.isValid();
    if (!b.isValid()) return !descending;
    return a.toDouble() < b.toDouble();
  }
  return QString::compare(a.toString(), b.toString(), Qt::CaseInsensitive) < 0;
}

}  // namespace dw::ui
