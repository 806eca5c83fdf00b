#pragma once
// How much memory a run may count on.
#include <cstdint>

namespace dw {

// The machine's physical memory in bytes, or the memory limit of the
// process's control group when that is lower (a container, a cluster job);
// UINT64_MAX when neither can be told. Read once per process.
uint64_t UsableMemoryBytes();

}  // namespace dw
