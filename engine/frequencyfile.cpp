#include "engine/frequencyfile.h"

#include <cmath>

#include "runtime/errors.h"
#include "runtime/floatmode.h"

namespace dw {

namespace {

// One value into row r, column c, stored at f32; a bad token raises from
// CheckIO, a value too large for f32 from the store.
float ReadValue(TextFile& file, AlleleFrequencyTable& table, uint32_t r, uint32_t c) {
  long double value = 0.0L;
  ReadReal(file, value);
  table.At(r, c) = StoreF32(value);
  return table.At(r, c);
}

// Reads one row; false when a value is not a number. `sum` receives the
// extended sum of the stored values.
bool ReadRow(TextFile& file, uint32_t r, uint32_t columns, AlleleFrequencyTable& table,
             long double& sum) {
  try {
    double s = 0.0;
    for (uint32_t c = 1; c < columns; ++c) {
      const float v = ReadValue(file, table, r, c);
      CheckIO();
      s = StoreF64(static_cast<long double>(s) + v);
    }
    const float last = ReadValue(file, table, r, columns);
    SkipLine(file);
    CheckIO();  // a bad last value is reported once its line is skipped
    sum = static_cast<long double>(s) + last;
    return true;
  } catch (const RuntimeError&) {
    SetPendingIOResult(0);  // nothing stale may reach the driver's next CheckIO
    return false;
  }
}

}  // namespace

bool ReadInitialFrequencies(TextFile& file, uint32_t rows, uint32_t columns,
                            AlleleFrequencyTable& table, MessageSink& messages) {
  constexpr long double kTolerance = 1e-5L;
  uint32_t r = 1;
  for (;;) {
    if (r > rows) {
      messages.ShowInfoMessage(kPopulationCountMessage);
      return false;
    }
    long double sum = 0.0L;
    if (!ReadRow(file, r, columns, table, sum)) {
      messages.ShowInfoMessage(kNotRealsMessage);
      return false;
    }
    if (std::fabs(sum - 1.0L) > kTolerance) {
      messages.ShowInfoMessage(kBadSumMessage);
      return false;
    }
    ++r;
    const bool atEnd = AtEnd(file);
    CheckIO();
    if (atEnd) break;
  }
  if (r >= rows + 1) return true;
  messages.ShowInfoMessage(kPopulationCountMessage);
  return false;
}

}  // namespace dw
