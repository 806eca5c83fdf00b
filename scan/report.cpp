#include "scan/report.h"

#include <algorithm>
#include <cmath>

#include "engine/model.h"
#include "runtime/json.h"
#include "runtime/numtext.h"
#include "scan/observedtable.h"

namespace dw::scan {

namespace {

// Three significant digits, two decimals at least below 10: 0.0123, 1.23, 12.3.
std::string Short(double value) {
  const double size = std::abs(value);
  const int decimals = size >= 10  ? 1
                       : size >= 1 ? 2
                       : size > 0  ? std::min(6, 2 - static_cast<int>(std::floor(std::log10(size))))
                                   : 2;
  return FixedPoint(value, decimals);
}

std::string ModelName(const std::string& model) {
  return std::string(NamesOf(ModelOfWord(model).value_or(MigrationModel::InfiniteIsland)).prose);
}

std::vector<const ScannedLocus*> RanLoci(const ScanSummary& s) {
  std::vector<const ScannedLocus*> ran;
  for (const ScannedLocus& l : s.loci)
    if (l.ran) ran.push_back(&l);
  return ran;
}

}  // namespace

bool Tested(data::LocusStatus status) {
  return status == data::LocusStatus::Polymorphic || status == data::LocusStatus::Biallelic;
}

bool DeltaTested(data::LocusStatus status) { return status == data::LocusStatus::Polymorphic; }

bool Tested(const ScannedLocus& locus) { return Tested(locus.estimate.status); }

bool DeltaTested(const ScannedLocus& locus) { return DeltaTested(locus.estimate.status); }

const char* StopText(StopReason reason) {
  switch (reason) {
    case StopReason::Open: return "open";
    case StopReason::Fixed: return "fixed";
    case StopReason::Resolved: return "resolved";
    case StopReason::Flagged: return "flagged";
    case StopReason::CannotFlag: return "cannot_flag";
    case StopReason::Ceiling: return "ceiling";
  }
  return "";
}

uint64_t LoneOutlierSimulations(std::size_t loci, double fdr) {
  if (loci == 0 || !(fdr > 0.0)) return 0;
  const double needed = std::ceil(2.0 * static_cast<double>(loci) / fdr - 1.0);
  return needed < 1.0 ? 1 : static_cast<uint64_t>(needed);
}

std::string CeilingWarning(uint64_t ceiling, bool fixed, std::size_t loci, double fdr) {
  if (loci == 0 || !(fdr > 0.0)) return {};
  const uint64_t needed = LoneOutlierSimulations(loci, fdr);
  if (ceiling >= needed) return {};
  const double floor = std::min(1.0, 2.0 / (static_cast<double>(ceiling) + 1.0));
  return std::string("warning: with ") + (fixed ? "" : "at most ") + std::to_string(ceiling) +
         " simulations a locus's two-sided p-value cannot fall below 2/(I + 1) = " + Short(floor) +
         ", so among " + std::to_string(loci) + " loci a lone outlier cannot be flagged at q <= " +
         FixedPoint(fdr, 2) + " (it needs at least " + std::to_string(needed) +
         " simulations); " + (fixed ? "without -I" : "without --max-simulations") +
         " the scan takes as many as the false discovery rate needs";
}

void SummariseScan(ScanSummary& s) {
  std::vector<double> p, pWc, observedWc;
  LocusSimulations simulated;
  for (ScannedLocus& l : s.loci) {
    if (!l.ran) continue;
    l.pWc = TailsOf(l.simulations, l.wcLower, l.wcHigher);
    pWc.push_back(l.pWc.twoSided);
    if (DeltaTested(l)) {
      l.p = TailsOf(l.simulations, l.lower, l.higher);
      p.push_back(l.p.twoSided);
    }
    observedWc.push_back(static_cast<double>(l.estimate.wc));
    simulated.push_back(l.simulatedWc);
  }
  const std::vector<double> q = BenjaminiHochberg(p), qWc = BenjaminiHochberg(pWc);
  std::size_t k = 0, kWc = 0;
  s.flaggedDelta = s.flaggedWc = 0;
  for (ScannedLocus& l : s.loci) {
    if (!l.ran) continue;
    l.qWc = qWc[kWc++];
    s.flaggedWc += l.qWc <= s.fdr;
    if (!DeltaTested(l)) continue;
    l.q = q[k++];
    s.flaggedDelta += l.q <= s.fdr;
  }
  s.testedDelta = p.size();
  s.testedWc = pWc.size();
  s.checked = observedWc.size();
  if (s.checked == 0) return;
  s.dataWc = TrimmedMean(observedWc, kTrimmedShare);
  std::vector<double> sorted = observedWc;
  std::sort(sorted.begin(), sorted.end());
  s.dataMedianWc = Quantile(sorted, 0.5);
  std::vector<double> means = NullTrimmedMeans(simulated, kTrimmedShare);
  s.nullWc = NullTrimmedMean(simulated, kTrimmedShare);
  std::sort(means.begin(), means.end());
  s.nullWcLow = Quantile(means, 0.025);
  s.nullWcHigh = Quantile(means, 0.975);
  s.lambda = p.empty() ? 0.0 : InflationFactor(p);
  s.lambdaWc = InflationFactor(pWc);
  s.dataSpread = MedianAbsoluteDeviation(observedWc);
  s.nullSpread = NullSpread(simulated);
}

std::string FlaggedLine(const ScanSummary& s) {
  return "flagged at q <= " + FixedPoint(s.fdr, 2) + ": by Delta " + std::to_string(s.flaggedDelta) +
         " of " + std::to_string(s.testedDelta) + " loci, by WC " + std::to_string(s.flaggedWc) +
         " of " + std::to_string(s.testedWc) + "\n";
}

bool NullDisagrees(const ScanSummary& s) {
  return s.checked > 0 && (s.dataWc < s.nullWcLow || s.dataWc > s.nullWcHigh);
}

const std::vector<std::string>& ScanColumns() {
  static const std::vector<std::string> columns = {
      "locus",   "P",       "A",          "n",        "WC",          "RH",
      "Delta_obs", "simulations", "lower", "higher",  "p_higher",    "p_lower",
      "p_two_sided", "q_value", "flag",     "seed",     "undefined",   "p_wc_higher",
      "p_wc_lower",  "q_wc",    "flag_wc", "wc_lower",    "wc_higher",   "stop",
      "null"};
  return columns;
}

namespace {

// Cells start as "NA"; each is then set by its column.
std::vector<std::string> ScanRow(const ScanSummary& s, const ScannedLocus& l) {
  using C = ScanColumn;
  std::vector<std::string> row(ColumnIndex(C::Count), "NA");
  const auto set = [&](C c, std::string text) { row[ColumnIndex(c)] = std::move(text); };
  const auto flag = [&](double q) { return q <= s.fdr ? "yes" : "no"; };
  set(C::Locus, l.name);
  set(C::P, std::to_string(l.P));
  set(C::A, std::to_string(l.A));
  if (!Tested(l)) {
    set(C::Flag, data::StatusText(l.estimate.status));
    return row;
  }
  set(C::SampleSize, std::to_string(l.n));
  set(C::Wc, StatisticCell(l.estimate.wc));
  set(C::Rh, StatisticCell(l.estimate.rh));
  set(C::DeltaObserved, StatisticCell(l.estimate.delta));
  set(C::Seed, std::to_string(l.seed));
  if (!l.ran) {
    set(C::Flag, "error");
    return row;
  }
  set(C::Simulations, std::to_string(l.simulations));
  if (DeltaTested(l)) {
    set(C::Lower, std::to_string(l.lower));
    set(C::Higher, std::to_string(l.higher));
    set(C::PHigher, FixedPoint(l.p.higher, 6));
    set(C::PLower, FixedPoint(l.p.lower, 6));
    set(C::PTwoSided, FixedPoint(l.p.twoSided, 6));
    set(C::QValue, FixedPoint(l.q, 6));
    set(C::Flag, flag(l.q));
  } else {
    set(C::Flag, data::StatusText(l.estimate.status));
  }
  set(C::Undefined, std::to_string(l.undefined));
  set(C::PWcHigher, FixedPoint(l.pWc.higher, 6));
  set(C::PWcLower, FixedPoint(l.pWc.lower, 6));
  set(C::QWc, FixedPoint(l.qWc, 6));
  set(C::FlagWc, flag(l.qWc));
  set(C::WcLower, std::to_string(l.wcLower));
  set(C::WcHigher, std::to_string(l.wcHigher));
  set(C::Stop, StopText(l.stop));
  if (l.null) set(C::Null, std::to_string(l.null));
  return row;
}

}  // namespace

std::vector<std::vector<std::string>> ScanRows(const ScanSummary& s) {
  std::vector<std::vector<std::string>> rows;
  for (const ScannedLocus& l : s.loci) rows.push_back(ScanRow(s, l));
  return rows;
}

std::string TabSeparated(const std::vector<std::string>& header,
                         const std::vector<std::vector<std::string>>& rows) {
  std::string text;
  const auto line = [&](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) text += (i ? "\t" : "") + cells[i];
    text += "\n";
  };
  line(header);
  for (const auto& row : rows) line(row);
  return text;
}

std::string ScanTable(const ScanSummary& s) {
  if (!s.hasPositions) return TabSeparated(ScanColumns(), ScanRows(s));
  std::vector<std::string> header = ScanColumns();
  const std::ptrdiff_t after = ColumnIndex(ScanColumn::Locus) + 1;
  header.insert(header.begin() + after, {"chrom", "pos"});
  std::vector<std::vector<std::string>> rows = ScanRows(s);
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i].insert(rows[i].begin() + after, {s.loci[i].chrom, std::to_string(s.loci[i].pos)});
  return TabSeparated(header, rows);
}

std::string RerunOptions(const NullModel& null) {
  return std::string("driftwise run ") +
         (null.engine == "individuals" ? "" : "--engine " + null.engine + " ") +
         "--skip-undefined --model " + null.model + " -N " + std::to_string(null.N) + " -m " +
         null.m + " -T " + std::to_string(null.T) +
         (null.I > 0 ? " -I " + std::to_string(null.I) : "");
}

namespace {

void WriteFit(const NullModel& null, JsonWriter& json) {
  json.Key("calibration").String(null.fit ? "m" : "none");
  json.Key("fit");
  if (!null.fit) {
    json.Null();
    return;
  }
  const Calibration& c = *null.fit;
  json.BeginObject();
  json.Key("fitted").String(c.kind == CalibrationKind::Migration        ? "migration"
              : c.kind == CalibrationKind::MigrationAtOne ? "migration_at_one"
                                                           : "generations");
  json.Key("interval_of")
      .String(c.kind == CalibrationKind::Generations ? "generations" : "migration");
  json.Key("interval_low").Real(c.low);
  json.Key("interval_high").Real(c.high);
  json.Key("simulations_per_pass").Integer(null.perPass);
  json.Key("passes");
  WriteFitPasses(c, json);
  json.EndObject();
}

}  // namespace

void WriteFitPasses(const Calibration& c, JsonWriter& json) {
  json.BeginArray();
  for (const CalibrationPoint& point : c.points) {
    json.BeginObject();
    json.Key("migration").Real(point.setting.m);
    json.Key("generations").Integer(point.setting.T);
    json.Key("null_trimmed_mean_wc").Real(point.nullMean);
    json.EndObject();
  }
  json.EndArray();
}

namespace {

void WriteNull(const ScanSummary& s, JsonWriter& json) {
  const NullModel& null = s.null;
  json.Key("null").BeginObject();
  json.Key("model").String(null.model);
  json.Key("start").String(null.observedStart ? "observed" : "pooled");
  json.Key("size").Integer(null.N);
  json.Key("migration").Real(null.mValue);
  json.Key("migration_text").String(null.m);
  json.Key("nm").Real(null.N * null.mValue);
  json.Key("generations").Integer(null.T);
  json.Key("simulations").Integer(null.I);
  WriteFit(null, json);
  json.Key("rerun").String(RerunOptions(null));
  json.EndObject();
}

void WritePValues(const ScanSummary& s, JsonWriter& json) {
  const PValueSetup& p = s.pvalues;
  json.Key("p_values").BeginObject();
  json.Key("engine").String(p.engine);
  json.Key("mode").String(p.sequential ? "sequential" : "fixed");
  json.Key("tail_hits");
  if (p.sequential) json.Integer(p.tailHits); else json.Null();
  json.Key("rule").String(!p.sequential ? "fixed"
                         : p.alone     ? "each_locus_alone"
                                       : "false_discovery_rate");
  json.Key("ceiling").Unsigned(p.ceiling);
  json.Key("ceiling_given").Bool(p.userCeiling);
  json.Key("lone_outlier_needs").Unsigned(LoneOutlierSimulations(s.testedWc, s.fdr));
  const std::string warning = CeilingWarning(p.ceiling, !p.sequential, s.testedWc, s.fdr);
  json.Key("ceiling_reaches_fdr").Bool(warning.empty());
  json.Key("warning");
  if (warning.empty()) json.Null(); else json.String(warning);
  json.Key("nulls");
  if (p.nulls) json.Unsigned(p.nulls); else json.Null();
  json.Key("fit_loci").Unsigned(p.fitLoci);
  json.EndObject();
  json.Key("flagged").BeginObject();
  json.Key("delta").Unsigned(s.flaggedDelta);
  json.Key("delta_tested").Unsigned(s.testedDelta);
  json.Key("wc").Unsigned(s.flaggedWc);
  json.Key("wc_tested").Unsigned(s.testedWc);
  json.EndObject();
}

void WriteChecks(const ScanSummary& s, JsonWriter& json) {
  json.Key("checks").BeginObject();
  json.Key("loci").Unsigned(s.checked);
  json.Key("trimmed_share").Real(kTrimmedShare);
  const std::pair<const char*, double> values[] = {
      {"data_trimmed_mean_wc", s.dataWc},      {"data_median_wc", s.dataMedianWc},
      {"null_trimmed_mean_wc", s.nullWc},      {"null_trimmed_mean_wc_low", s.nullWcLow},
      {"null_trimmed_mean_wc_high", s.nullWcHigh}, {"lambda_delta", s.lambda},
      {"lambda_wc", s.lambdaWc},               {"spread_data", s.dataSpread},
      {"spread_null", s.nullSpread}};
  for (const auto& [name, value] : values) {
    json.Key(name);
    if (s.checked) json.Real(value); else json.Null();
  }
  json.Key("spread_ratio");
  if (s.checked && s.nullSpread > 0) json.Real(s.dataSpread / s.nullSpread); else json.Null();
  json.EndObject();
}

void WriteTails(const char* prefix, const TailProbabilities& p, double q, double fdr,
                JsonWriter& json) {
  const std::string name(prefix);
  json.Key("p_" + name + "higher").Real(p.higher);
  json.Key("p_" + name + "lower").Real(p.lower);
  json.Key("p_" + name + "two_sided").Real(p.twoSided);
  json.Key(name.empty() ? "q_value" : "q_wc").Real(q);
  json.Key(name.empty() ? "flag" : "flag_wc").Bool(q <= fdr);
}

void WriteLocus(const ScanSummary& s, std::size_t i, JsonWriter& json) {
  const ScannedLocus& l = s.loci[i];
  const double fdr = s.fdr;
  json.BeginObject();
  json.Key("locus").String(l.name);
  if (s.hasPositions) {
    json.Key("chrom").String(l.chrom);
    json.Key("pos").Integer(l.pos);
  }
  json.Key("note").String(l.ran || !Tested(l) ? data::StatusText(l.estimate.status) : "error");
  json.Key("populations").Integer(l.P);
  json.Key("alleles").Integer(l.A);
  const bool estimated = Tested(l);  // every locus with estimates is tested, by WC at least
  json.Key("sample");
  if (estimated) json.Integer(l.n); else json.Null();
  for (const auto& [name, value] :
       {std::pair{"wc", l.estimate.wc}, {"rh", l.estimate.rh}, {"delta", l.estimate.delta}}) {
    json.Key(name);
    if (estimated) json.Real(static_cast<double>(value)); else json.Null();
  }
  json.Key("seed");
  if (Tested(l)) json.Unsigned(l.seed); else json.Null();
  json.Key("error");
  if (Tested(l) && !l.ran) json.String(l.failure); else json.Null();
  if (!l.ran) {
    json.EndObject();
    return;
  }
  json.Key("simulations").Unsigned(l.simulations);
  json.Key("undefined").Unsigned(l.undefined);
  json.Key("stop").String(StopText(l.stop));
  json.Key("null");
  if (l.null) json.Unsigned(l.null); else json.Null();
  json.Key("delta_tested").Bool(DeltaTested(l));
  if (DeltaTested(l)) {
    json.Key("lower").Unsigned(l.lower);
    json.Key("higher").Unsigned(l.higher);
    WriteTails("", l.p, l.q, fdr, json);
  }
  json.Key("wc_lower").Unsigned(l.wcLower);
  json.Key("wc_higher").Unsigned(l.wcHigher);
  WriteTails("wc_", l.pWc, l.qWc, fdr, json);
  if (!DeltaTested(l)) {
    json.EndObject();
    return;
  }
  json.Key("delta_low").Real(l.low);
  json.Key("delta_median").Real(l.median);
  json.Key("delta_high").Real(l.high);
  json.EndObject();
}

}  // namespace

std::string ScanJson(const ScanSummary& s) {
  JsonWriter json;
  json.BeginObject();
  json.Key("format").String("driftwise-scan");
  json.Key("version").Integer(1);
  json.Key("command").String("scan");
  json.Key("file").String(s.file);
  json.Key("sample");
  if (s.n) json.Integer(*s.n); else json.Null();
  json.Key("fdr").Real(s.fdr);
  json.Key("seeded_from_clock").Bool(s.seededFromClock);
  json.Key("seed").Unsigned(s.seed);
  json.Key("tested_loci").Unsigned(s.testedWc);
  json.Key("note");
  if (s.testedWc == 0)
    json.String("no locus of the file can be tested");
  else
    json.Null();
  WriteNull(s, json);
  WritePValues(s, json);
  WriteChecks(s, json);
  json.Key("loci").BeginArray();
  for (std::size_t i = 0; i < s.loci.size(); ++i) WriteLocus(s, i, json);
  json.EndArray();
  json.EndObject();
  return json.Text();
}

std::string FitLine(const ScanSummary& s) {
  const NullModel& null = s.null;
  if (!null.fit) return {};
  const Calibration& c = *null.fit;
  std::string line = "Null fitted to the loci: ";
  if (c.kind == CalibrationKind::Generations)
    return line + "T = " + std::to_string(null.T) +
           " generations at m = 0 (95 % interval over the loci " +
           std::to_string(static_cast<long>(c.low)) + " to " +
           std::to_string(static_cast<long>(c.high)) + "), N = " + std::to_string(null.N) + ", " +
           ModelName(null.model) + "\n";
  line += "m = " + null.m;
  if (c.kind == CalibrationKind::Migration)
    line += " (95 % interval over the loci " + Short(c.low) + " to " + Short(c.high) + ")";
  return line + ", N·m = " + Short(null.N * null.mValue) + ", N = " + std::to_string(null.N) +
         ", T = " + std::to_string(null.T) + ", " + ModelName(null.model) + "\n";
}

namespace {

std::string CheckLines(const ScanSummary& s) {
  std::string text = "  " + FixedPoint(100 * kTrimmedShare, 0) + " % trimmed mean WC over the " +
                     std::to_string(s.checked) + " tested loci: data " + FixedPoint(s.dataWc, 4) +
                     ", null " + FixedPoint(s.nullWc, 4) + " (95 % of its simulated data sets " +
                     FixedPoint(s.nullWcLow, 4) + " to " + FixedPoint(s.nullWcHigh, 4) + ")\n";
  text += "  genomic inflation lambda of the p-values: " + FixedPoint(s.lambda, 2) + " (Delta), " +
          FixedPoint(s.lambdaWc, 2) + " (WC)\n";
  if (s.nullSpread > 0)
    text += "  spread of WC across loci (median absolute deviation), data / null: " +
            FixedPoint(s.dataSpread, 4) + " / " + FixedPoint(s.nullSpread, 4) + " = " +
            FixedPoint(s.dataSpread / s.nullSpread, 2) + "\n";
  return text;
}

}  // namespace

NullReportParts NullReportOf(const ScanSummary& s) {
  const NullModel& null = s.null;
  NullReportParts r;
  if (null.fit && s.checked > 0) {
    const Calibration& c = *null.fit;
    if (c.kind == CalibrationKind::MigrationAtOne)
      r.notes.push_back("note: the loci are less differentiated than even m = 1 makes the null "
                        "(trimmed mean WC " + FixedPoint(c.target, 4) + "); the null runs at m = 1");
    if (c.kind == CalibrationKind::Generations)
      r.notes.push_back("note: even with no migration the null stays below the loci's "
                        "differentiation after the T given; T is fitted at m = 0 instead "
                        "(populations split T generations ago and exchanged no genes since)");
    r.fitted = FitLine(s);
    r.fitted.pop_back();  // its LF
    r.details = CheckLines(s) + "  fitted in " + std::to_string(c.points.size()) + " passes of " +
                std::to_string(null.perPass) + " simulations per locus" +
                (s.pvalues.fitLoci < s.checked
                     ? " of a seeded sample of " + std::to_string(s.pvalues.fitLoci) + " loci"
                     : "") +
                "; a locus reruns with\n    " + RerunOptions(null) + " --seed SEED -P P -A A -n n" +
                (null.I > 0 ? "" : " -I SIMULATIONS+UNDEFINED") + " -i FREQUENCY-FILE\n";
  } else if (NullDisagrees(s)) {
    r.disagreement = "warning: the null does not fit the loci: m = " + null.m + " given";
    r.details = CheckLines(s) + "  without -m the scan fits m to the loci (--calibrate m)\n";
  }
  // Only a null at the data's structure says what spread to expect.
  if ((null.fit || !NullDisagrees(s)) && s.checked > 0 && s.nullSpread > 0 &&
      s.dataSpread > 1.5 * s.nullSpread)
    r.warnings.push_back(
        "warning: WC varies " + FixedPoint(s.dataSpread / s.nullSpread, 1) +
        " times as much across loci as under the null: isolation by distance, a hierarchy of "
        "populations or selection at many loci can do that, and the island model does not "
        "capture it; read the flags with care");
  if (null.fit && s.checked > 0 && s.checked < 5)
    r.warnings.push_back("warning: the null is fitted to only " + std::to_string(s.checked) +
                         (s.checked == 1 ? " locus, so it follows that very locus"
                                         : " loci, so it follows those very loci") +
                         "; a WC outlier is hard to see among them");
  if (null.observedStart) {
    const double kept = RetainedStart(null.mValue, null.N, null.T);
    if (kept > 0.05)
      r.warnings.push_back(
          "warning: with --start observed and T = " + std::to_string(null.T) + ", about " +
          FixedPoint(100 * kept, 0) +
          " % of each locus's own differentiation is still in its null (the share "
          "((1 - m)^2 (1 - 1/2N))^T): whatever made it, selection included, is then part of "
          "what the locus is tested against, which takes power away; a longer -T lets it fade");
  }
  return r;
}

std::vector<std::string> NullReportParts::Cautions() const {
  std::vector<std::string> lines = notes;
  if (!disagreement.empty()) lines.push_back(disagreement);
  lines.insert(lines.end(), warnings.begin(), warnings.end());
  return lines;
}

std::string NullReportParts::Text() const {
  std::string text;
  for (const std::string& note : notes) text += note + "\n";
  if (!fitted.empty()) text += fitted + "\n";
  if (!disagreement.empty()) text += disagreement + "\n";
  text += details;
  for (const std::string& warning : warnings) text += warning + "\n";
  return text;
}

std::string NullReport(const ScanSummary& s) { return NullReportOf(s).Text(); }

std::string PValueReport(const ScanSummary& s) {
  const PValueSetup& p = s.pvalues;
  std::string text = CeilingWarning(p.ceiling, !p.sequential, s.testedWc, s.fdr);
  if (!text.empty()) text += "\n";
  if (p.sequential && s.testedWc > 0) {
    std::size_t early = 0;
    for (const ScannedLocus& l : s.loci) early += l.ran && l.stop == StopReason::Resolved;
    text += "p-values resolved sequentially: each tail of a test to " +
            std::to_string(p.tailHits) + " simulated values, or " +
            (p.alone ? "each locus alone until its p-value is at most " + FixedPoint(s.fdr, 2) + "/" +
                           std::to_string(s.testedWc) + ", flagged whatever the other loci"
                     : "as far as q <= " + FixedPoint(s.fdr, 2) + " needs") +
            " (at most " + std::to_string(p.ceiling) +
            " simulations a locus); " + std::to_string(early) + " of " +
            std::to_string(s.testedWc) + " loci resolved that way";
    if (p.nulls) text += "; " + std::to_string(p.nulls) + " distinct nulls simulated";
    text += "\n";
  }
  return text + FlaggedLine(s);
}

ScanPlot PlotOf(const ScanSummary& s) {
  ScanPlot plot;
  const NullModel& null = s.null;
  std::string second = "N=" + std::to_string(null.N) + ", m=" + null.m;
  if (null.fit && null.fit->kind == CalibrationKind::Migration)
    second += " fitted (95 % " + Short(null.fit->low) + "-" + Short(null.fit->high) +
              "), N·m=" + Short(null.N * null.mValue);
  else if (null.fit && null.fit->kind == CalibrationKind::MigrationAtOne)
    second += " (fit: less differentiated than m=1)";
  else if (!null.fit)
    second += " given";
  second += ", T=" + std::to_string(null.T);
  if (null.fit && null.fit->kind == CalibrationKind::Generations)
    second += " fitted at m=0 (95 % " + std::to_string(static_cast<long>(null.fit->low)) + "-" +
              std::to_string(static_cast<long>(null.fit->high)) + ")";
  second += ", " + ModelName(null.model);
  if (s.checked > 0)
    second += "\ntrimmed mean WC: data " + FixedPoint(s.dataWc, 4) + ", null " + FixedPoint(s.nullWc, 4) +
              "; lambda " + FixedPoint(s.lambda, 2) + " (WC " + FixedPoint(s.lambdaWc, 2) + ")" +
              (s.nullSpread > 0 ? "; WC spread data/null " + FixedPoint(s.dataSpread / s.nullSpread, 2)
                                : "");
  plot.title = "Simulated Delta (median, 2.5-97.5 %) and observed Delta per locus; red: q <= " +
               FixedPoint(s.fdr, 2) + " (Delta test, " + std::to_string(s.flaggedDelta) + " of " +
               std::to_string(s.testedDelta) + "), ringed: q <= " + FixedPoint(s.fdr, 2) +
               " (WC test, " + std::to_string(s.flaggedWc) + " of " +
               std::to_string(s.testedWc) + ")\n" + second;
  for (const ScannedLocus* l : RanLoci(s))
    if (DeltaTested(*l))
    plot.loci.push_back(PlotLocus{l->name, l->low, l->median, l->high,
                                  static_cast<double>(l->estimate.delta), l->q <= s.fdr,
                                  l->qWc <= s.fdr});
  return plot;
}

}  // namespace dw::scan
