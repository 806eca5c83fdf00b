#include "data/textlines.h"

#include "runtime/errors.h"
#include "runtime/linereader.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"

namespace dw::data {

std::optional<LoadProblem> ReadLinesOf(
    const std::string& name, std::size_t longest, const std::string& tooLong,
    const std::function<std::optional<LineRefusal>(std::string_view, uint64_t)>& take,
    const std::function<bool()>& stop) {
  LineReader reader(LineReader::Ends::Any, longest);
  const auto failed = [&](int code, int systemError) {
    return LoadProblem{LoadProblem::Kind::Unreadable,
                       CommandLineErrorText(EInOutError(code, systemError, name))};
  };
  const auto refused = [&](uint64_t line, const std::string& message) {
    return LoadProblem{LoadProblem::Kind::Refused,
                       name + ", line " + std::to_string(line) + ": " + message};
  };
  if (const int code = reader.Open(name)) return failed(code, LastSystemError());
  std::string line;
  bool ended = false;
  for (;;) {
    const LineReader::Result next = reader.Next(line, ended);
    if (next == LineReader::Result::End) break;
    if (next == LineReader::Result::Failed) return failed(reader.Code(), reader.SystemError());
    if (next == LineReader::Result::TooLong) return refused(reader.LineNumber(), tooLong);
    if (const auto refusal = take(line, reader.LineNumber()))
      return refused(refusal->line, refusal->message);
    if (stop && stop()) return LoadProblem{LoadProblem::Kind::Stopped, {}};
  }
  return std::nullopt;
}

}  // namespace dw::data
