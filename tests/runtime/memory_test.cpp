// The memory a run may count on: what is available now and the least of
// the process's limits, never the machine's total.
#include "runtime/memory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>

namespace dw {
namespace {

TEST(UsableMemory, ReadsAvailableMemoryAndControlGroupLimits) {
  const char* meminfo =
      "MemTotal:       24700000 kB\nMemFree:         1000000 kB\nMemAvailable:   20000000 kB\n";
  EXPECT_EQ(AvailableFromMeminfo(meminfo), uint64_t{20000000} * 1024);
  EXPECT_EQ(AvailableFromMeminfo("MemTotal: 1 kB\n"), std::nullopt);
  EXPECT_EQ(AvailableFromMeminfo("XMemAvailable: 5 kB\n"), std::nullopt);
  EXPECT_EQ(ControlGroupLimitFrom("8589934592\n"), uint64_t{8589934592});
  EXPECT_EQ(ControlGroupLimitFrom("max\n"), std::nullopt);
  EXPECT_EQ(ControlGroupLimitFrom(""), std::nullopt);
}

// Under a limit of 3 GiB on `resource`: 0 when the memory counted on is within it.
[[noreturn]] void ExitWithinLimit(int resource) {
  const rlim_t bytes = rlim_t{3} << 30;
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = bytes;
  if (::setrlimit(resource, &limit) != 0) std::_Exit(2);
  std::_Exit(UsableMemoryBytes() <= bytes ? 0 : 1);
}

// In a child, so the limit binds only there and the first reading is its own.
TEST(UsableMemory, IsNoMoreThanTheProcessMayMap) {
  EXPECT_EXIT(ExitWithinLimit(RLIMIT_AS), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(ExitWithinLimit(RLIMIT_DATA), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace dw
