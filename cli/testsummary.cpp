#include "cli/testsummary.h"

#include "engine/model.h"
#include "runtime/json.h"

namespace dw::cli {

void SummariseHistogram(const RecordedHistogram& histogram, double deltaMin, double deltaMax,
                        TestSummary& summary) {
  summary.deltaMin = deltaMin;
  summary.deltaMax = deltaMax;
  summary.classes.clear();
  for (std::size_t i = 0; i < histogram.points.size(); ++i) {
    const RecordedHistogram::Point& point = histogram.points[i];
    long double low, high;
    ClassBounds(static_cast<int>(i) + 1, deltaMin, deltaMax, low, high);
    summary.classes.push_back(ClassSummary{static_cast<double>(low), static_cast<double>(high),
                                           point.label, static_cast<uint64_t>(point.y)});
    if (point.color == clRed) summary.observedClass = static_cast<int>(i) + 1;
  }
}

TestSummary RunTestSummary(const EngineState& state, const RecordedHistogram& histogram,
                           const RunRecord& record) {
  const SimulationParameters& params = state.params;
  TestSummary s;
  s.command = "run";
  s.model = record.model;
  s.engine = record.engine;
  s.P = params.P;
  s.N = params.N;
  s.n = params.n;
  s.T = params.T;
  s.A = params.A;
  s.m = params.m;
  s.observedDelta = params.ObservedDelta;
  s.input = record.input;
  s.output = record.output;
  s.outputDigest = record.outputDigest;
  GeneratorSummary g;
  g.seededFromClock = record.seededFromClock;
  g.seed = record.seed;
  g.job = record.job;
  g.startState = record.startState;
  g.endState = record.endState;
  RunSize size;
  size.model = ModelOfRun(params.InfiniteIslandFlag != 0,
                          ModelOfWord(record.model) == MigrationModel::SteppingStone);
  size.m = params.m;
  size.P = params.P;
  size.N = params.N;
  size.n = params.n;
  size.T = params.T;
  size.I = params.I;
  size.engine = record.engine == "counts" ? EngineKind::Counts : EngineKind::Individuals;
  g.bounds = RunDraws(size);
  g.draws = ConsumedDraws(g.startState, g.endState, g.bounds);
  s.generator = g;
  s.threads = record.threads;
  s.simulations = state.DeltaSeries.size() - 1;
  s.undefined = state.UndefinedCount;
  s.higher = state.DeltaAboveCount;
  SummariseHistogram(histogram, state.DeltaMin, state.DeltaMax, s);
  return s;
}

std::string ModelWord(const std::string& modelLine) {
  return std::string(
      NamesOf(ModelOfHeaderLine(modelLine).value_or(MigrationModel::FiniteIsland)).word);
}

namespace {

void WriteParameters(const TestSummary& s, JsonWriter& json) {
  json.Key("parameters").BeginObject();
  json.Key("model").String(s.model);
  const std::pair<const char*, uint32_t> counts[] = {
      {"populations", s.P}, {"size", s.N}, {"sample", s.n}, {"generations", s.T}, {"alleles", s.A}};
  for (const auto& [name, value] : counts) {
    json.Key(name).Unsigned(value);
  }
  json.Key("migration").Real(s.m);
  json.Key("observed_delta").Real(s.observedDelta);
  if (!s.engine.empty()) {
    json.Key("engine").String(s.engine);
  }
  json.EndObject();
}

void WriteGenerator(const GeneratorSummary& g, JsonWriter& json) {
  json.BeginObject();
  json.Key("seeded_from_clock").Bool(g.seededFromClock);
  json.Key("seed").Unsigned(g.seed);
  json.Key("job");
  if (g.job) json.Unsigned(g.job->job); else json.Null();
  json.Key("jobs");
  if (g.job) json.Unsigned(g.job->jobs); else json.Null();
  json.Key("share");
  if (g.job) json.Unsigned(JobShare(g.job->jobs)); else json.Null();
  json.Key("start_state").Unsigned(g.startState);
  json.Key("end_state").Unsigned(g.endState);
  json.Key("draws");
  if (g.draws) json.Unsigned(*g.draws); else json.Null();
  json.Key("draws_at_least").Unsigned(g.bounds.low);
  json.Key("draws_at_most").Unsigned(g.bounds.high);
  json.EndObject();
}

void WriteSources(const TestSummary& s, JsonWriter& json) {
  if (s.command == "run") {
    json.Key("input").String(s.input);
    json.Key("output").String(s.output);
    // Pins the file: merge refuses any other under that name.
    json.Key("output_size");
    if (s.outputDigest) json.Unsigned(s.outputDigest->size); else json.Null();
    json.Key("output_sha256");
    if (s.outputDigest) json.String(s.outputDigest->sha256); else json.Null();
    return;
  }
  json.Key("files").BeginArray();
  for (const SourceFile& file : s.files) {
    json.BeginObject();
    json.Key("name").String(file.name);
    json.Key("simulations").Unsigned(file.simulations);
    json.EndObject();
  }
  json.EndArray();
}

void WriteClasses(const TestSummary& s, JsonWriter& json) {
  json.Key("observed_class").Integer(s.observedClass);
  json.Key("classes").BeginArray();
  for (std::size_t i = 0; i < s.classes.size(); ++i) {
    const ClassSummary& c = s.classes[i];
    json.BeginObject();
    json.Key("class").Unsigned(i + 1);
    json.Key("low").Real(c.low);
    json.Key("high").Real(c.high);
    json.Key("label").String(c.label);
    json.Key("count").Unsigned(c.count);
    json.EndObject();
  }
  json.EndArray();
}

}  // namespace

std::string SummaryJson(const TestSummary& s) {
  JsonWriter json;
  json.BeginObject();
  json.Key("format").String("driftwise-summary");
  json.Key("version").Integer(1);
  json.Key("command").String(s.command);
  WriteParameters(s, json);
  WriteSources(s, json);
  json.Key("generator");
  if (s.generator) WriteGenerator(*s.generator, json); else json.Null();
  if (s.threads) {
    json.Key("threads").Unsigned(*s.threads);
  }
  json.Key("simulations").Unsigned(s.simulations);
  json.Key("undefined").Unsigned(s.undefined);
  json.Key("lower").Unsigned(s.simulations - s.higher);
  json.Key("higher").Unsigned(s.higher);
  // One-sided: the share of simulated values above the observed one, and
  // the form that counts the observation as one more simulation.
  json.Key("p_value").Real(static_cast<double>(s.higher) / static_cast<double>(s.simulations));
  json.Key("p_value_plus_one")
      .Real(static_cast<double>(s.higher + 1) / static_cast<double>(s.simulations + 1));
  json.Key("delta_min").Real(s.deltaMin);
  json.Key("delta_max").Real(s.deltaMax);
  WriteClasses(s, json);
  json.EndObject();
  return json.Text();
}

}  // namespace dw::cli
