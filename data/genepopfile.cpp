#include "data/genepopfile.h"

#include "runtime/errors.h"
#include "runtime/linereader.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"

namespace dw::data {

std::optional<GenepopLoadProblem> LoadGenepopFile(const std::string& name, GenepopData& data,
                                                  const std::function<bool()>& stop) {
  using Kind = GenepopLoadProblem::Kind;
  LineReader reader(LineReader::Ends::Any, kMaxGenepopLine);
  const auto failed = [&](int code, int systemError) {
    return GenepopLoadProblem{Kind::Unreadable,
                              CommandLineErrorText(EInOutError(code, systemError, name))};
  };
  const auto refused = [&](uint64_t line, const std::string& message) {
    return GenepopLoadProblem{Kind::Refused,
                              name + ", line " + std::to_string(line) + ": " + message};
  };
  if (const int code = reader.Open(name)) return failed(code, LastSystemError());
  GenepopReader genepop(data);
  std::string line;
  bool ended = false;
  for (;;) {
    const LineReader::Result next = reader.Next(line, ended);
    if (next == LineReader::Result::End) break;
    if (next == LineReader::Result::Failed) return failed(reader.Code(), reader.SystemError());
    if (next == LineReader::Result::TooLong)
      return refused(reader.LineNumber(), "longer than " + std::to_string(kMaxGenepopLine) +
                                              " bytes: not a line of a Genepop file");
    if (const auto error = genepop.Line(line)) return refused(error->line, error->message);
    if (stop && stop()) return GenepopLoadProblem{Kind::Stopped, {}};
  }
  if (const auto error = genepop.Finish()) return refused(error->line, error->message);
  return std::nullopt;
}

}  // namespace dw::data
