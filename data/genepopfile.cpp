#include "data/genepopfile.h"

#include <htslib/bgzf.h>
#include <htslib/kstring.h>

#include <cerrno>
#include <cstdlib>

#include "runtime/errors.h"
#include "data/textlines.h"
#include "runtime/linereader.h"
#include "runtime/lines.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"

namespace dw::data {

std::optional<GenepopLoadProblem> LoadGenepopFile(const std::string& name, GenepopData& data,
                                                  const std::function<bool()>& stop) {
  GenepopReader genepop(data);
  if (auto problem = ReadLinesOf(
          name, kMaxGenepopLine,
          "longer than " + std::to_string(kMaxGenepopLine) + " bytes: not a line of a Genepop file",
          [&](std::string_view line, uint64_t) -> std::optional<LineRefusal> {
            if (const auto error = genepop.Line(line)) return LineRefusal{error->line, error->message};
            return std::nullopt;
          },
          stop))
    return problem;
  if (const auto error = genepop.Finish())
    return GenepopLoadProblem{GenepopLoadProblem::Kind::Refused,
                              name + ", line " + std::to_string(error->line) + ": " + error->message};
  return std::nullopt;
}

namespace {

// Hands the pieces of a decompressed line to the reader: a CR inside it
// ends a line too (old Mac files), as LineReader::Ends::Any does.
std::optional<GenepopError> GiveLine(std::string_view text, GenepopReader& genepop) {
  if (text.empty()) return genepop.Line(text);  // an empty line is a line here
  return ForEachLine(text, [&](std::string_view line) { return genepop.Line(line); });
}

}  // namespace

std::optional<GenepopLoadProblem> LoadGzipGenepopFile(const std::string& name, GenepopData& data,
                                                      const std::function<bool()>& stop) {
  using Kind = GenepopLoadProblem::Kind;
  errno = 0;
  BGZF* file = bgzf_open(name.c_str(), "r");
  if (file == nullptr) {
    const int error = errno != 0 ? errno : EIO;
    return GenepopLoadProblem{Kind::Unreadable,
                              CommandLineErrorText(EInOutError(MapErrno(error), error, name))};
  }
  GenepopReader genepop(data);
  kstring_t line = KS_INITIALIZE;
  std::optional<GenepopLoadProblem> problem;
  uint64_t number = 0;
  for (;;) {
    const int got = bgzf_getline(file, '\n', &line);
    if (got == -1) break;
    ++number;
    if (got < -1) {
      problem = GenepopLoadProblem{Kind::Refused, name + ", line " + std::to_string(number) +
                                                      ": the compressed data is damaged"};
      break;
    }
    if (line.l > kMaxGenepopLine) {
      problem = GenepopLoadProblem{Kind::Refused,
                                   name + ", line " + std::to_string(number) + ": longer than " +
                                       std::to_string(kMaxGenepopLine) +
                                       " bytes: not a line of a Genepop file"};
      break;
    }
    if (const auto error = GiveLine(std::string_view(line.s, line.l), genepop)) {
      problem = GenepopLoadProblem{Kind::Refused,
                                   name + ", line " + std::to_string(error->line) + ": " +
                                       error->message};
      break;
    }
    if (stop && stop()) {
      problem = GenepopLoadProblem{Kind::Stopped, {}};
      break;
    }
  }
  ks_free(&line);
  bgzf_close(file);
  if (problem) return problem;
  if (const auto error = genepop.Finish())
    return GenepopLoadProblem{Kind::Refused,
                              name + ", line " + std::to_string(error->line) + ": " + error->message};
  return std::nullopt;
}

}  // namespace dw::data
