#include "runtime/messages.h"

#include "runtime/errors.h"
#include "runtime/osfiles.h"

namespace dw {

std::string ApplicationTitle(std::string_view programPath) {
  std::string_view name = programPath;
  if (const auto slash = name.find_last_of("/\\"); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  if (const auto dot = name.find('.'); dot != std::string_view::npos) name = name.substr(0, dot);
  std::string title(name);
  // Lower case after the first character; the first is shown as a capital,
  // so "tester.exe" and "TESTER.EXE" both give "Tester".
  if (!title.empty() && title[0] >= 'a' && title[0] <= 'z') title[0] = static_cast<char>(title[0] - 'a' + 'A');
  for (std::size_t i = 1; i < title.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(title[i]);
    if (c >= 'A' && c <= 'Z') title[i] = static_cast<char>(c - 'A' + 'a');
  }
  return title;
}

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

std::string CommandLineErrorText(const RuntimeError& error) {
  std::string text = ErrorBoxText(error.Message());
  const auto* io = dynamic_cast<const EInOutError*>(&error);
  if (io == nullptr) return text;
  if (!io->FileName().empty()) text = io->FileName() + ": " + text;
  if (io->SystemError() != 0) text += " (" + SystemErrorText(io->SystemError()) + ")";
  return text;
}

}  // namespace dw
