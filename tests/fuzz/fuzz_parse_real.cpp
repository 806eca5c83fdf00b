// ParseReal on any text, with "." and with "," as the decimal separator.
// The separator is only a parameter: the text read with "," must give what
// the same text with "." and "," swapped gives with ".", value or error
// (whose message quotes the text as given). An accepted value is finite.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/errors.h"
#include "runtime/numtext.h"
#include "tests/fuzz/memoryfile.h"

namespace {

struct Parsed {
  bool ok = false;
  long double value = 0.0L;
  std::string message;
};

Parsed Parse(const std::string& text, char decimal) {
  Parsed p;
  try {
    p.value = dw::ParseReal(text, dw::NumberMarks{decimal, decimal == '.' ? ',' : '.'});
    p.ok = true;
  } catch (const dw::EConvertError& e) {
    p.message = e.Message();
  }
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string swapped = text;
  for (char& c : swapped) c = c == '.' ? ',' : c == ',' ? '.' : c;

  const Parsed point = Parse(text, '.');
  const Parsed comma = Parse(swapped, ',');
  DW_FUZZ_CHECK(point.ok == comma.ok);
  if (point.ok) {
    DW_FUZZ_CHECK(std::isfinite(point.value));
    DW_FUZZ_CHECK(std::memcmp(&point.value, &comma.value, 10) == 0);
  } else {
    // The message quotes the text as it was given, blanks included.
    const char* tail = "' n'est pas une valeur en virgule flottante correcte";
    DW_FUZZ_CHECK(point.message == "'" + text + tail);
    DW_FUZZ_CHECK(comma.message == "'" + swapped + tail);
  }
  return 0;
}
