#include "runtime/cpus.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

namespace dw {

namespace {

// A whole number, possibly negative, with blanks and a line end around it.
std::optional<int64_t> WholeNumber(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t\n");
  if (begin == std::string_view::npos) return std::nullopt;
  const std::size_t end = text.find_last_not_of(" \t\n") + 1;
  int64_t value = 0;
  const auto parsed = std::from_chars(text.data() + begin, text.data() + end, value);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + end) return std::nullopt;
  return value;
}

std::optional<double> QuotaOver(int64_t quota, int64_t period) {
  if (quota <= 0 || period <= 0) return std::nullopt;
  return static_cast<double>(quota) / static_cast<double>(period);
}

std::string FileText(const std::string& name) {
  std::ifstream file(name);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The folder and each one above it, up to and with the hierarchy's root.
void AddWithAncestors(const std::string& base, std::string path, bool unified,
                      std::vector<CpuLimitFolder>& folders) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  for (;;) {
    folders.push_back({base + path, unified});
    if (path.empty()) return;
    path.erase(path.rfind('/'));
  }
}

std::optional<double> QuotaIn(const CpuLimitFolder& folder) {
  if (folder.unified) return CpuMaxQuota(FileText(folder.path + "/cpu.max"));
  return CfsQuota(FileText(folder.path + "/cpu.cfs_quota_us"),
                  FileText(folder.path + "/cpu.cfs_period_us"));
}

std::optional<uint32_t> AffinityCpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return std::nullopt;
  const int count = CPU_COUNT(&set);
  if (count <= 0) return std::nullopt;
  return static_cast<uint32_t>(count);
}

uint32_t CountUsableCpus() {
  uint32_t cpus = std::max(1u, std::thread::hardware_concurrency());
  if (const auto mask = AffinityCpus()) cpus = *mask;
  for (const CpuLimitFolder& folder : CpuLimitFolders(FileText("/proc/self/cgroup"), "/sys/fs/cgroup"))
    if (const auto quota = QuotaIn(folder)) cpus = std::min(cpus, ThreadsForQuota(*quota));
  return std::max(1u, cpus);
}

}  // namespace

std::optional<double> CpuMaxQuota(std::string_view text) {
  const std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const auto quota = WholeNumber(text.substr(0, blank));
  const auto period = WholeNumber(text.substr(blank + 1));
  if (!quota || !period) return std::nullopt;  // "max": no limit
  return QuotaOver(*quota, *period);
}

std::optional<double> CfsQuota(std::string_view quotaText, std::string_view periodText) {
  const auto quota = WholeNumber(quotaText);
  const auto period = WholeNumber(periodText);
  if (!quota || !period) return std::nullopt;
  return QuotaOver(*quota, *period);
}

uint32_t ThreadsForQuota(double cpus) {
  return static_cast<uint32_t>(std::clamp(std::ceil(cpus), 1.0, 4294967295.0));
}

std::vector<CpuLimitFolder> CpuLimitFolders(std::string_view procCgroup, const std::string& root) {
  // Lines are "0::PATH" for v2 and "N:CONTROLLERS:PATH" for v1, where the cpu
  // controller's hierarchy is mounted as the list's name ("cpu,cpuacct"),
  // often with a link "cpu" beside it.
  std::vector<CpuLimitFolder> folders;
  std::istringstream lines{std::string(procCgroup)};
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t first = line.find(':'), second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string path = line.substr(second + 1);
    if (path.empty() || path.front() != '/') continue;
    if (controllers.empty()) {
      AddWithAncestors(root, path, true, folders);
    } else if (("," + controllers + ",").find(",cpu,") != std::string::npos) {
      AddWithAncestors(root + "/" + controllers, path, false, folders);
      if (controllers != "cpu") AddWithAncestors(root + "/cpu", path, false, folders);
    }
  }
  return folders;
}

uint32_t UsableCpuCount() {
  // Once: the mask and the quota of a process are set before it starts.
  static const uint32_t cpus = CountUsableCpus();
  return cpus;
}

}  // namespace dw
