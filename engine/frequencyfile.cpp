#include "engine/frequencyfile.h"

#include <charconv>
#include <cmath>

#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/numtext.h"

namespace dw {

namespace {

// How reading one row ended.
struct RowRead {
  enum Ending { Read, NotReals, EndsEarly, NotAFrequency } ending = Read;
  uint32_t column = 0;  // EndsEarly: the values read; NotAFrequency: the value's column
  float value = 0.0f;   // NotAFrequency: the stored value
  long double sum = 0;  // Read: the extended sum of the stored values
};

// One value into row r, column c, stored at f32; false when the data ended
// before it. A bad token raises from CheckIO, a value too large for f32 from
// the store.
bool ReadValue(TextFile& file, AlleleFrequencyTable& table, uint32_t r, uint32_t c) {
  long double value = 0.0L;
  const bool present = ReadReal(file, value);
  table.At(r, c) = StoreF32(value);
  return present;
}

bool IsFrequency(float v) { return v >= 0.0f && v <= 1.0f; }

// Reads one row, value by value, each value checked as it is stored.
RowRead ReadRow(TextFile& file, uint32_t r, uint32_t columns, AlleleFrequencyTable& table) {
  RowRead row;
  try {
    double s = 0.0;
    for (uint32_t c = 1; c <= columns; ++c) {
      const bool present = ReadValue(file, table, r, c);
      if (c == columns) SkipLine(file);
      CheckIO();  // a bad last value is reported once its line is skipped
      if (!present) return RowRead{RowRead::EndsEarly, c - 1};
      const float v = table.At(r, c);
      if (!IsFrequency(v)) return RowRead{RowRead::NotAFrequency, c, v};
      if (c < columns)
        s = StoreF64(static_cast<long double>(s) + v);
      else
        row.sum = static_cast<long double>(s) + v;
    }
    return row;
  } catch (const RuntimeError&) {
    SetPendingIOResult(0);  // nothing stale may reach the driver's next CheckIO
    return RowRead{RowRead::NotReals};
  }
}

// The shortest text that reads back as the stored value, with a point.
std::string ValueText(float value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string RowMessage(const RowRead& row, uint32_t r, uint32_t columns) {
  const std::string where = "Input file, row " + FormatInteger(static_cast<int32_t>(r));
  if (row.ending == RowRead::EndsEarly)
    return where + ": the file ends after " + FormatInteger(static_cast<int32_t>(row.column)) +
           " of the row's " + FormatInteger(static_cast<int32_t>(columns)) + " values";
  return where + ", value " + FormatInteger(static_cast<int32_t>(row.column)) + ": " +
         ValueText(row.value) + " is not a frequency (it must be between 0 and 1)";
}

}  // namespace

bool ReadInitialFrequencies(TextFile& file, uint32_t rows, uint32_t columns,
                            AlleleFrequencyTable& table, MessageSink& messages) {
  constexpr long double kTolerance = 1e-5L;
  // Never part of a valid file: a mark that editors write at the start.
  SkipByteOrderMark(file);
  uint32_t r = 1;
  for (;;) {
    if (r > rows) {
      messages.ShowInfoMessage(kPopulationCountMessage);
      return false;
    }
    const RowRead row = ReadRow(file, r, columns, table);
    if (row.ending == RowRead::NotReals) {
      messages.ShowInfoMessage(kNotRealsMessage);
      return false;
    }
    if (row.ending != RowRead::Read) {
      messages.ShowInfoMessage(RowMessage(row, r, columns));
      return false;
    }
    if (std::fabs(row.sum - 1.0L) > kTolerance) {
      messages.ShowInfoMessage(kBadSumMessage);
      return false;
    }
    ++r;
    // An editor's trailing blank lines end the file; before the last row a
    // cut row is named as such.
    const bool atEnd = r > rows ? AtEndAfterBlanks(file) : AtEnd(file);
    CheckIO();
    if (atEnd) break;
  }
  if (r >= rows + 1) return true;
  messages.ShowInfoMessage(kPopulationCountMessage);
  return false;
}

}  // namespace dw
