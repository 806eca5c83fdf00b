// The initial-frequency reader on any file: bytes 0-1 give P (0 … 65535),
// byte 2 gives A (1 … 255), byte 3 a read that fails (0 for none), the rest
// is the file. The reader must answer with exactly one of its messages or
// with acceptance, or let the end test's I/O error out, and nothing else.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frequencyfile.h"
#include "runtime/errors.h"
#include "tests/fuzz/memoryfile.h"

namespace {

struct Messages : dw::MessageSink {
  std::vector<std::string> shown;
  void ShowInfoMessage(const std::string& text) override { shown.push_back(text); }
};

bool IsReaderMessage(const std::string& text) {
  return text == dw::kNotRealsMessage || text == dw::kBadSumMessage ||
         text == dw::kPopulationCountMessage;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace dw;
  if (size < 4) return 0;
  const uint32_t P = data[0] | static_cast<uint32_t>(data[1]) << 8;
  const uint32_t A = data[2] == 0 ? 1 : data[2];
  const int failingRead = data[3];
  fuzz::MemoryFile files(data + 4, size - 4, failingRead);
  TextFile file;
  fuzz::OpenInMemory(files, file);
  DW_FUZZ_CHECK(PendingIOResult() == 0);

  static AlleleFrequencyTable table;
  table.Reserve(P + 1, A);
  Messages messages;
  bool accepted = false, raised = false;
  try {
    accepted = ReadInitialFrequencies(file, P + 1, A, table, messages);
  } catch (const EInOutError& e) {
    raised = true;
    DW_FUZZ_CHECK(failingRead != 0 && e.IOErrorCode() == 1117);
  }
  DW_FUZZ_CHECK(PendingIOResult() == 0);  // nothing stale for the driver's next check
  if (raised) {
    DW_FUZZ_CHECK(messages.shown.empty());
  } else if (accepted) {
    DW_FUZZ_CHECK(messages.shown.empty());
    DW_FUZZ_CHECK(AtEnd(file));
    for (uint32_t r = 1; r <= P + 1; ++r) {  // every row sums to 1, as the reader adds
      double s = 0.0;
      for (uint32_t c = 1; c < A; ++c) s = static_cast<double>(static_cast<long double>(s) + table.At(r, c));
      DW_FUZZ_CHECK(std::fabs(static_cast<long double>(s) + table.At(r, A) - 1.0L) <= 1e-5L);
    }
  } else {
    DW_FUZZ_CHECK(messages.shown.size() == 1 && IsReaderMessage(messages.shown[0]));
  }
  CloseFile(file);
  DW_FUZZ_CHECK(!files.IsOpen());
  SetPendingIOResult(0);
  return 0;
}
