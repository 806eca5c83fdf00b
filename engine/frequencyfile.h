#pragma once
// The initial-frequency file: P + 1 rows (the P populations, then the migrant
// source) of A reals with a point as decimal separator, each row summing to 1
// within 10^-5, and nothing after the last row.
#include <cstdint>

#include "engine/messages.h"
#include "engine/state.h"
#include "runtime/textfile.h"

namespace dw {

inline constexpr const char* kNotRealsMessage =
    "The input file does not contain reals, please change separator (point vs coma)";
inline constexpr const char* kBadSumMessage =
    "Sum of frequencies different than 1, or error in number of alleles";
inline constexpr const char* kPopulationCountMessage =
    "Input file : Error in number of populations";

// Reads `rows` rows of `columns` values into table rows 1..rows. True when
// exactly `rows` rows were read, each of frequencies from 0 to 1 summing to
// 1, and only blanks follow them; otherwise one message is shown and the
// result is false: one of the three above, or one naming the row for a file
// that ends within a row ("Input file, row 3: the file ends after 2 of the
// row's 3 values") and for a value outside 0 … 1 ("Input file, row 2,
// value 1: 1.5 is not a frequency (it must be between 0 and 1)"). A UTF-8
// byte-order mark at the start is skipped. The file stays open either way.
// An I/O failure of the end test raises.
bool ReadInitialFrequencies(TextFile& file, uint32_t rows, uint32_t columns,
                            AlleleFrequencyTable& table, MessageSink& messages);

}  // namespace dw
