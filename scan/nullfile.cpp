#include "scan/nullfile.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "runtime/json.h"

namespace dw::scan {

namespace {

void WriteIdentity(const char* key, const FileIdentity& id, JsonWriter& json) {
  json.Key(key).BeginObject();
  json.Key("name").String(id.name);
  json.Key("size").Unsigned(id.size);
  json.Key("sha256").String(id.sha256);
  json.EndObject();
}

const char* KindWord(CalibrationKind kind) {
  return kind == CalibrationKind::Migration        ? "migration"
         : kind == CalibrationKind::MigrationAtOne ? "migration_at_one"
                                                    : "generations";
}

void WriteFit(const Calibration& c, JsonWriter& json) {
  json.BeginObject();
  json.Key("fitted").String(KindWord(c.kind));
  json.Key("fitted_migration").Real(c.fitted.m);
  json.Key("fitted_generations").Integer(c.fitted.T);
  json.Key("target").Real(c.target);
  json.Key("median").Real(c.median);
  json.Key("interval_low").Real(c.low);
  json.Key("interval_high").Real(c.high);
  json.Key("passes");
  WriteFitPasses(c, json);
  json.EndObject();
}

void WriteNullMembers(const NullFile& null, JsonWriter& json) {
  WriteIdentity("data", null.data, json);
  if (null.popmap) {
    WriteIdentity("popmap", *null.popmap, json);
  } else {
    json.Key("popmap").Null();
  }
  json.Key("seed").Unsigned(null.seed);
  json.Key("engine").String(null.engine);
  json.Key("model").String(null.model);
  json.Key("start").String(null.observedStart ? "observed" : "pooled");
  json.Key("size").Integer(null.N);
  json.Key("generations").Integer(null.T);
  json.Key("sample");
  if (null.n) json.Integer(*null.n); else json.Null();
  json.Key("migration_text").String(null.m);
  json.Key("fit_loci").Unsigned(null.fitLoci);
  json.Key("fit");
  if (null.fit) WriteFit(*null.fit, json); else json.Null();
}

// A reader of one document's members that remembers the first thing wrong.
class Fields {
 public:
  explicit Fields(std::string& problem) : problem_(problem) {}
  bool Ok() const { return problem_.empty(); }

  const JsonValue* Need(const JsonValue& object, const char* name, JsonValue::Kind kind) {
    const JsonValue* value = object.kind == JsonValue::Kind::Object ? object.Member(name) : nullptr;
    if (value == nullptr || value->kind != kind) {
      Fail(std::string("'") + name + "' is missing or of the wrong kind");
      return nullptr;
    }
    return value;
  }
  std::string Text(const JsonValue& object, const char* name) {
    const JsonValue* value = Need(object, name, JsonValue::Kind::String);
    return value ? value->text : std::string();
  }
  uint64_t Whole(const JsonValue& object, const char* name, uint64_t most = UINT64_MAX) {
    const JsonValue* value = Need(object, name, JsonValue::Kind::Number);
    const std::optional<uint64_t> whole = value ? value->Unsigned() : std::nullopt;
    if (value && (!whole || *whole > most)) Fail(std::string("'") + name + "' is not a whole number in range");
    return whole.value_or(0);
  }
  double Real(const JsonValue& object, const char* name) {
    const JsonValue* value = Need(object, name, JsonValue::Kind::Number);
    return value ? RealOf(*value, name) : 0.0;
  }
  double RealOf(const JsonValue& value, const char* name) {
    double result = 0.0;
    const char* end = value.text.data() + value.text.size();
    const auto [at, code] = std::from_chars(value.text.data(), end, result);
    if (code != std::errc() || at != end) Fail(std::string("'") + name + "' is not a number");
    return result;
  }
  void Fail(const std::string& why) {
    if (problem_.empty()) problem_ = why;
  }

 private:
  std::string& problem_;
};

FileIdentity ReadIdentity(const JsonValue& object, Fields& f) {
  FileIdentity id;
  id.name = f.Text(object, "name");
  id.size = f.Whole(object, "size");
  id.sha256 = f.Text(object, "sha256");
  return id;
}

std::optional<Calibration> ReadFit(const JsonValue& object, Fields& f) {
  if (object.kind == JsonValue::Kind::Null) return std::nullopt;
  Calibration c;
  const std::string kind = f.Text(object, "fitted");
  c.kind = kind == "migration"          ? CalibrationKind::Migration
           : kind == "migration_at_one" ? CalibrationKind::MigrationAtOne
                                        : CalibrationKind::Generations;
  if (kind != "migration" && kind != "migration_at_one" && kind != "generations")
    f.Fail("'fitted' is not a kind of fit");
  c.fitted.m = f.Real(object, "fitted_migration");
  c.fitted.T = static_cast<int32_t>(f.Whole(object, "fitted_generations", 65535));
  c.target = f.Real(object, "target");
  c.median = f.Real(object, "median");
  c.low = f.Real(object, "interval_low");
  c.high = f.Real(object, "interval_high");
  if (const JsonValue* passes = f.Need(object, "passes", JsonValue::Kind::Array))
    for (const JsonValue& pass : passes->items) {
      CalibrationPoint point;
      point.setting.m = f.Real(pass, "migration");
      point.setting.T = static_cast<int32_t>(f.Whole(pass, "generations", 65535));
      point.nullMean = f.Real(pass, "null_trimmed_mean_wc");
      c.points.push_back(std::move(point));
    }
  return c;
}

NullFile ReadNullMembers(const JsonValue& doc, Fields& f) {
  NullFile null;
  if (const JsonValue* data = f.Need(doc, "data", JsonValue::Kind::Object))
    null.data = ReadIdentity(*data, f);
  if (const JsonValue* popmap = doc.Member("popmap"); popmap && popmap->kind == JsonValue::Kind::Object)
    null.popmap = ReadIdentity(*popmap, f);
  null.seed = static_cast<uint32_t>(f.Whole(doc, "seed", UINT32_MAX));
  null.engine = f.Text(doc, "engine");
  null.model = f.Text(doc, "model");
  const std::string start = f.Text(doc, "start");
  null.observedStart = start == "observed";
  if (f.Ok() && (null.engine != "counts" && null.engine != "individuals"))
    f.Fail("'engine' is neither \"counts\" nor \"individuals\"");
  if (f.Ok() && null.model != "infinite" && null.model != "finite" && null.model != "stepping")
    f.Fail("'model' is not a migration model");
  if (f.Ok() && start != "pooled" && start != "observed") f.Fail("'start' is not a start");
  null.N = static_cast<int32_t>(f.Whole(doc, "size", 65535));
  null.T = static_cast<int32_t>(f.Whole(doc, "generations", 65535));
  if (const JsonValue* n = doc.Member("sample"); n && n->kind == JsonValue::Kind::Number)
    null.n = static_cast<int32_t>(f.Whole(doc, "sample", 65535));
  null.m = f.Text(doc, "migration_text");
  null.fitLoci = f.Whole(doc, "fit_loci");
  if (const JsonValue* fit = doc.Member("fit")) null.fit = ReadFit(*fit, f);
  else f.Fail("'fit' is missing");
  return null;
}

std::optional<JsonValue> Document(const std::string& text, const char* format, std::string& problem) {
  std::string error;
  std::optional<JsonValue> doc = ParseJson(text, error);
  if (!doc) {
    problem = "not JSON: " + error;
    return std::nullopt;
  }
  const JsonValue* kind = doc->Member("format");
  if (doc->kind != JsonValue::Kind::Object || kind == nullptr || kind->text != format) {
    problem = std::string("not a \"") + format + "\" document";
    return std::nullopt;
  }
  const JsonValue* version = doc->Member("version");
  if (version == nullptr || version->Unsigned() != 1u) {
    problem = "of a version this program does not read (it reads version 1)";
    return std::nullopt;
  }
  return doc;
}

}  // namespace

std::string NullFileJson(const NullFile& null) {
  JsonWriter json;
  json.BeginObject();
  json.Key("format").String("driftwise-null");
  json.Key("version").Integer(1);
  WriteNullMembers(null, json);
  json.EndObject();
  return json.Text();
}

std::optional<NullFile> ReadNullFile(const std::string& text, std::string& problem) {
  const std::optional<JsonValue> doc = Document(text, "driftwise-null", problem);
  if (!doc) return std::nullopt;
  Fields f(problem);
  NullFile null = ReadNullMembers(*doc, f);
  if (!f.Ok()) return std::nullopt;
  return null;
}

Share ShareOf(std::size_t loci, uint64_t job, uint64_t jobs) {
  const auto at = [&](uint64_t k) {
    return static_cast<std::size_t>(uint64_t{loci} * k / jobs);  // loci and jobs are far below 2^32
  };
  return {at(job), at(job + 1)};
}

std::string ScanPartJson(const NullFile& null, const std::string& nullSha256, uint64_t job,
                         uint64_t jobs, double fdr, const std::vector<ScannedLocus>& loci,
                         Share share) {
  JsonWriter json;
  json.BeginObject();
  json.Key("format").String("driftwise-scan-part");
  json.Key("version").Integer(1);
  json.Key("job").Unsigned(job);
  json.Key("jobs").Unsigned(jobs);
  json.Key("first_locus").Unsigned(share.first);
  json.Key("end_locus").Unsigned(share.end);
  json.Key("fdr").Real(fdr);
  json.Key("null_sha256").String(nullSha256);
  json.Key("null").BeginObject();
  WriteNullMembers(null, json);
  json.EndObject();
  json.Key("loci").BeginArray();
  std::map<uint32_t, const std::vector<double>*> nulls;
  for (std::size_t i = share.first; i < share.end && i < loci.size(); ++i) {
    const ScannedLocus& l = loci[i];
    if (!Tested(l)) continue;
    json.BeginObject();
    json.Key("index").Unsigned(l.index);
    json.Key("seed").Unsigned(l.seed);
    json.Key("error");
    if (l.ran) json.Null(); else json.String(l.failure);
    json.Key("error_status").Integer(l.failureStatus);
    for (const auto& [name, value] :
         {std::pair{"simulations", l.simulations}, {"undefined", l.undefined}, {"lower", l.lower},
          {"higher", l.higher}, {"wc_lower", l.wcLower}, {"wc_higher", l.wcHigher}}) {
      json.Key(name).Unsigned(value);
    }
    json.Key("stop").String(StopText(l.stop));
    for (const auto& [name, value] :
         {std::pair{"delta_low", l.low}, {"delta_median", l.median}, {"delta_high", l.high}}) {
      json.Key(name).Real(value);
    }
    json.EndObject();
    if (l.ran) nulls.emplace(l.seed, &l.simulatedWc);
  }
  json.EndArray();
  json.Key("null_wc").BeginArray();
  for (const auto& [seed, wc] : nulls) {
    json.BeginObject();
    json.Key("seed").Unsigned(seed);
    json.Key("wc").BeginArray();
    for (double value : *wc) json.Real(value);
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return json.Text();
}

bool IsScanPart(const std::string& text) {
  const std::size_t at = text.find("\"format\"");
  return at != std::string::npos && at < 64 &&
         text.compare(text.find('"', at + 8) + 1, 19, "driftwise-scan-part") == 0;
}

std::optional<ScanPart> ReadScanPart(const std::string& text, std::string& problem) {
  const std::optional<JsonValue> doc = Document(text, "driftwise-scan-part", problem);
  if (!doc) return std::nullopt;
  Fields f(problem);
  ScanPart part;
  part.job = f.Whole(*doc, "job");
  part.jobs = f.Whole(*doc, "jobs");
  part.share.first = f.Whole(*doc, "first_locus");
  part.share.end = f.Whole(*doc, "end_locus");
  part.fdr = f.Real(*doc, "fdr");
  part.nullSha256 = f.Text(*doc, "null_sha256");
  if (const JsonValue* null = f.Need(*doc, "null", JsonValue::Kind::Object))
    part.null = ReadNullMembers(*null, f);
  static const std::pair<const char*, StopReason> kStops[] = {
      {"fixed", StopReason::Fixed},         {"resolved", StopReason::Resolved},
      {"flagged", StopReason::Flagged},     {"cannot_flag", StopReason::CannotFlag},
      {"ceiling", StopReason::Ceiling},     {"open", StopReason::Open}};
  if (const JsonValue* loci = f.Need(*doc, "loci", JsonValue::Kind::Array))
    for (const JsonValue& locus : loci->items) {
      ScanPart::Tally t;
      t.index = f.Whole(locus, "index");
      t.seed = static_cast<uint32_t>(f.Whole(locus, "seed", UINT32_MAX));
      const JsonValue* error = locus.Member("error");
      t.ran = error != nullptr && error->kind == JsonValue::Kind::Null;
      if (!t.ran && error != nullptr && error->kind == JsonValue::Kind::String) t.failure = error->text;
      t.failureStatus = static_cast<int>(f.Whole(locus, "error_status", 2));
      t.simulations = f.Whole(locus, "simulations");
      t.undefined = f.Whole(locus, "undefined");
      t.lower = f.Whole(locus, "lower");
      t.higher = f.Whole(locus, "higher");
      t.wcLower = f.Whole(locus, "wc_lower");
      t.wcHigher = f.Whole(locus, "wc_higher");
      const std::string stop = f.Text(locus, "stop");
      const auto* found = std::find_if(std::begin(kStops), std::end(kStops),
                                       [&](const auto& s) { return stop == s.first; });
      if (found == std::end(kStops)) f.Fail("'stop' is not a reason to stop");
      else t.stop = found->second;
      t.low = f.Real(locus, "delta_low");
      t.median = f.Real(locus, "delta_median");
      t.high = f.Real(locus, "delta_high");
      part.loci.push_back(t);
    }
  if (const JsonValue* nulls = f.Need(*doc, "null_wc", JsonValue::Kind::Array))
    for (const JsonValue& null : nulls->items) {
      std::vector<double> wc;
      if (const JsonValue* values = f.Need(null, "wc", JsonValue::Kind::Array))
        for (const JsonValue& value : values->items) wc.push_back(f.RealOf(value, "wc"));
      part.nullWc.emplace_back(static_cast<uint32_t>(f.Whole(null, "seed", UINT32_MAX)), std::move(wc));
    }
  if (!f.Ok()) return std::nullopt;
  return part;
}

}  // namespace dw::scan
