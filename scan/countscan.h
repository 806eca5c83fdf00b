#pragma once
// The scan under the count-level null: loci that share a null share its
// simulations. Under `--start pooled` a locus's null depends only on the
// model's parameters, P, A, n and the pooled row as its frequency file holds
// it; loci with the same key use one simulated stream, seeded from the key,
// so a locus's values never depend on which other loci are scanned with it,
// on the threads or on the order the work is done.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/countsim.h"
#include "runtime/cancel.h"
#include "scan/calibration.h"
#include "scan/report.h"

namespace dw::scan {

struct ScanSettings;
class ScanObserver;

// The simulated data sets of the checks over the loci: the first defined WC
// values of each locus's null, which every null has from the first round.
inline constexpr std::size_t kCheckedDataSets = 100;
// The fit simulates at most this many loci, a seeded sample of the tested ones.
inline constexpr std::size_t kFitLoci = 300;

// The frequencies a run reads from the locus's frequency file text: P + 1
// rows of A values, each stored at f32 as the reader stores it.
std::vector<float> StartFrequencies(const std::string& frequencyText);

// The key of the locus's null: P, A, n and the frequency file's text.
std::string NullKey(const ScannedLocus& locus, const std::string& frequencyText);

// The seed of the null with this key under the scan's base seed.
uint32_t NullSeed(uint32_t base, const std::string& key);

// The fit's loci: every tested one up to kFitLoci, else a sample of kFitLoci
// drawn from `seed`; indices into `tested`, ascending.
std::vector<std::size_t> FitSample(std::size_t tested, uint32_t seed);

// The count engine's null of a locus under (m text, T).
CountNull CountNullOf(const ScanSettings& s, const ScannedLocus& locus, const std::string& m,
                      int32_t T);

// One pass of the fit: WC of `perLocus` simulations of each locus of `sample`
// (pointers into the tested loci) under `setting`, each locus from its own
// calibration seed.
LocusSimulations CountCalibrationPass(const ScanSettings& s,
                                      const std::vector<ScannedLocus*>& sample,
                                      const NullSetting& setting, int32_t perLocus,
                                      ScanObserver& observer, const CancelRequest& cancel);

// Numbers each tested locus's shared null (1-based, in order of first
// appearance) and sets its seed; returns how many distinct nulls there are.
std::size_t AssignNulls(const ScanSettings& s, std::vector<ScannedLocus>& loci);

// Runs every tested locus (of the settings' share, when given) under the settings' null (m and T as fitted):
// groups them into nulls, simulates each null as far as its loci need and
// tallies each locus. Returns the number of distinct nulls.
std::size_t RunCountTests(const ScanSettings& s, std::vector<ScannedLocus>& loci,
                          ScanObserver& observer, const CancelRequest& cancel);

}  // namespace dw::scan
