#include "runtime/memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace dw {

namespace {

constexpr uint64_t kNone = std::numeric_limits<uint64_t>::max();

std::optional<uint64_t> WholeNumber(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return std::nullopt;
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto parsed = std::from_chars(text.data() + begin, end, value);
  if (parsed.ec != std::errc() || parsed.ptr == text.data() + begin) return std::nullopt;
  return value;
}

std::string FileText(const std::string& name) {
  std::ifstream file(name);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return kNone;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

uint64_t AvailableMemoryBytes() {
  // Without MemAvailable (kernels before 3.14), the total.
  return AvailableFromMeminfo(FileText("/proc/meminfo")).value_or(PhysicalMemoryBytes());
}

uint64_t ProcessLimitBytes() {
  uint64_t least = kNone;
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
      least = std::min<uint64_t>(least, limit.rlim_cur);
  }
  return least;
}

// The limits of the groups this process is in: "0::PATH" in the unified
// hierarchy (v2), "N:memory:PATH" (or a list holding memory) in v1.
uint64_t ControlGroupLimitBytes() {
  uint64_t least = kNone;
  std::istringstream membership(FileText("/proc/self/cgroup"));
  std::string line;
  while (std::getline(membership, line)) {
    const std::size_t first = line.find(':'), second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    const std::string path = line.substr(second + 1);
    std::optional<uint64_t> limit;
    if (controllers == ",,")
      limit = ControlGroupLimitFrom(FileText("/sys/fs/cgroup" + path + "/memory.max"));
    else if (controllers.find(",memory,") != std::string::npos)
      limit = ControlGroupLimitFrom(
          FileText("/sys/fs/cgroup/memory" + path + "/memory.limit_in_bytes"));
    if (limit) least = std::min(least, *limit);
  }
  return least;
}

}  // namespace

std::optional<uint64_t> AvailableFromMeminfo(std::string_view meminfo) {
  constexpr std::string_view kKey = "MemAvailable:";
  std::size_t at = meminfo.find(kKey);
  while (at != std::string_view::npos && at != 0 && meminfo[at - 1] != '\n')
    at = meminfo.find(kKey, at + 1);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = meminfo.substr(at + kKey.size());
  rest = rest.substr(0, rest.find('\n'));
  const auto kilobytes = WholeNumber(rest);
  if (!kilobytes || rest.find("kB") == std::string_view::npos) return std::nullopt;
  return *kilobytes * 1024;
}

std::optional<uint64_t> ControlGroupLimitFrom(std::string_view text) {
  // "max", or v1's "no limit" (a page-rounded INT64_MAX): no number that binds.
  return WholeNumber(text);
}

uint64_t UsableMemoryBytes() {
  // Read once, at the first run: what the run's tables may take then.
  static const uint64_t usable =
      std::min({AvailableMemoryBytes(), ProcessLimitBytes(), ControlGroupLimitBytes()});
  return usable;
}

}  // namespace dw
