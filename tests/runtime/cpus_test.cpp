#include "runtime/cpus.h"

#include <gtest/gtest.h>

#include <sched.h>

namespace dw {
namespace {

TEST(CpuQuota, TheControlGroupFilesTexts) {
  struct Case {
    const char* quota;
    const char* period;  // null: the quota is a v2 cpu.max line
    std::optional<double> cpus;
  };
  const Case cases[] = {
      {"max 100000\n", nullptr, std::nullopt},
      {"150000 100000\n", nullptr, 1.5},
      {"100000 100000", nullptr, 1.0},
      {"50000 100000\n", nullptr, 0.5},
      {"200000 50000\n", nullptr, 4.0},
      {"", nullptr, std::nullopt},
      {"100000", nullptr, std::nullopt},
      {"100000 0\n", nullptr, std::nullopt},
      {"abc 100000\n", nullptr, std::nullopt},
      {"-1\n", "100000\n", std::nullopt},
      {"250000\n", "100000\n", 2.5},
      {"100000\n", "100000\n", 1.0},
      {"", "", std::nullopt},  // files that cannot be read
      {"100000\n", "", std::nullopt},
      {"10x\n", "100000\n", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto cpus = c.period ? CfsQuota(c.quota, c.period) : CpuMaxQuota(c.quota);
    EXPECT_EQ(cpus, c.cpus) << '"' << c.quota << "\" / " << (c.period ? c.period : "(v2)");
  }
}

TEST(CpuQuota, APartCpuStillRunsAThread) {
  const std::pair<double, uint32_t> cases[] = {
      {0.01, 1}, {0.5, 1}, {1.0, 1}, {1.5, 2}, {2.0, 2}, {2.001, 3}, {64.0, 64}};
  for (const auto& [cpus, threads] : cases) EXPECT_EQ(ThreadsForQuota(cpus), threads) << cpus;
}

std::vector<std::string> Paths(const std::vector<CpuLimitFolder>& folders, bool unified) {
  std::vector<std::string> paths;
  for (const CpuLimitFolder& f : folders)
    if (f.unified == unified) paths.push_back(f.path);
  return paths;
}

TEST(CpuLimitFolders, TheGroupAndEachAboveIt) {
  using Paths_ = std::vector<std::string>;
  // A cluster job's task under v2: the job's quota sits two levels up.
  const auto v2 = CpuLimitFolders("0::/system.slice/slurmstepd.scope/job_7/step_0\n", "/cg");
  EXPECT_EQ(Paths(v2, true),
            (Paths_{"/cg/system.slice/slurmstepd.scope/job_7/step_0",
                    "/cg/system.slice/slurmstepd.scope/job_7", "/cg/system.slice/slurmstepd.scope",
                    "/cg/system.slice", "/cg"}));
  EXPECT_TRUE(Paths(v2, false).empty());
  // v1: only the hierarchy holding the cpu controller, under its list's
  // name and under "cpu".
  const auto v1 = CpuLimitFolders(
      "9:name=systemd:/x\n4:memory:/job\n3:cpuset:/job\n2:cpu,cpuacct:/slurm/uid_0/job_3\n0::/\n",
      "/cg");
  EXPECT_EQ(Paths(v1, false),
            (Paths_{"/cg/cpu,cpuacct/slurm/uid_0/job_3", "/cg/cpu,cpuacct/slurm/uid_0",
                    "/cg/cpu,cpuacct/slurm", "/cg/cpu,cpuacct", "/cg/cpu/slurm/uid_0/job_3",
                    "/cg/cpu/slurm/uid_0", "/cg/cpu/slurm", "/cg/cpu"}));
  EXPECT_EQ(Paths(v1, true), (Paths_{"/cg"}));
  // A container's own view: its root alone.
  EXPECT_EQ(Paths(CpuLimitFolders("1:cpu:/\n", "/cg"), false), (Paths_{"/cg/cpu"}));
  EXPECT_TRUE(CpuLimitFolders("", "/cg").empty());
  EXPECT_TRUE(CpuLimitFolders("garbage\n2:cpu:\n", "/cg").empty());
}

TEST(UsableCpuCount, NoMoreThanTheAffinityMaskHolds) {
  cpu_set_t set;
  CPU_ZERO(&set);
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  EXPECT_GE(UsableCpuCount(), 1u);
  EXPECT_LE(UsableCpuCount(), static_cast<uint32_t>(CPU_COUNT(&set)));
}

}  // namespace
}  // namespace dw
