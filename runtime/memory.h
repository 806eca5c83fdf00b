#pragma once
// How much memory a run may count on.
#include <cstdint>
#include <optional>
#include <string_view>

namespace dw {

// The least of what the machine has available now (not its total: other
// programs hold some), the process's own limits (RLIMIT_AS, RLIMIT_DATA)
// and the memory limit of its control group (v2 memory.max, v1
// memory.limit_in_bytes): a container or a cluster job. UINT64_MAX when none
// can be told. Read once per process.
uint64_t UsableMemoryBytes();

// The "MemAvailable:" of /proc/meminfo's text, in bytes.
std::optional<uint64_t> AvailableFromMeminfo(std::string_view meminfo);
// A control group's limit file: a byte count, or "max" (none).
std::optional<uint64_t> ControlGroupLimitFrom(std::string_view text);

}  // namespace dw
