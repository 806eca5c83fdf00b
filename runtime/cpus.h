#pragma once
// How many CPUs a process may keep busy: on a cluster node or in a
// container that is far fewer than the machine has, and a thread per core
// of the machine would only make the process's threads queue for them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dw {

// The least of the CPUs the process's affinity mask holds and the CPU quota
// of its control group and of each group above it (v2 cpu.max, v1
// cpu.cfs_quota_us / cpu.cfs_period_us); the machine's cores where neither
// can be told; at least 1. Read once per process.
uint32_t UsableCpuCount();

// A v2 cpu.max text ("150000 100000": quota and period in µs) as CPUs (1.5);
// none for "max ..." (no limit) or text that is not two numbers.
std::optional<double> CpuMaxQuota(std::string_view text);
// The v1 pair: quota -1 is no limit; none too for text that is not a number.
std::optional<double> CfsQuota(std::string_view quotaText, std::string_view periodText);
// Whole threads for a quota: a part CPU still runs a thread, so 1.5 is 2.
uint32_t ThreadsForQuota(double cpus);

// Where a process's CPU limits live, from /proc/self/cgroup's text: the
// folders under `root` (/sys/fs/cgroup) of its v2 group and of its v1 cpu
// group, each followed by the groups above it up to the hierarchy's root.
struct CpuLimitFolder {
  std::string path;
  bool unified = false;  // v2: cpu.max; v1: cpu.cfs_quota_us and cpu.cfs_period_us
};
std::vector<CpuLimitFolder> CpuLimitFolders(std::string_view procCgroup, const std::string& root);

}  // namespace dw
