#include "runtime/memory.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

namespace dw {

namespace {

uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

// The unified hierarchy's limit for this process: "max" or a byte count.
uint64_t ControlGroupLimitBytes() {
  uint64_t limit = std::numeric_limits<uint64_t>::max();
  std::ifstream membership("/proc/self/cgroup");
  std::string line;
  while (std::getline(membership, line)) {
    if (line.rfind("0::", 0) != 0) continue;
    std::ifstream max("/sys/fs/cgroup" + line.substr(3) + "/memory.max");
    uint64_t bytes = 0;
    if (max >> bytes) limit = bytes;  // "max" reads as no number: no limit
  }
  return limit;
}

}  // namespace

uint64_t UsableMemoryBytes() {
  // Read once: neither changes while the program runs.
  static const uint64_t usable = std::min(PhysicalMemoryBytes(), ControlGroupLimitBytes());
  return usable;
}

}  // namespace dw
