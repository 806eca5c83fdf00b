#include "ui/explain.h"

#include <charconv>
#include <filesystem>
#include <fstream>

namespace dw::ui {

namespace {

// The text between the first pair of single quotes; none without a pair.
std::optional<std::string> QuotedText(const std::string& message) {
  const auto open = message.find('\'');
  if (open == std::string::npos) return std::nullopt;
  // The first quote after it closes: the message's own words may hold one ("n'est").
  const auto close = message.find('\'', open + 1);
  if (close == std::string::npos) return std::nullopt;
  return message.substr(open + 1, close - open - 1);
}

// The typed text with its other separator turned into `decimal`.
std::string WithDecimal(std::string text, char decimal) {
  const char other = decimal == ',' ? '.' : ',';
  for (char& c : text)
    if (c == other) c = decimal;
  return text;
}

std::string FileAndFolder(const std::string& name) {
  const std::filesystem::path path = std::filesystem::absolute(name);
  return path.filename().string() + " in " + path.parent_path().string();
}

}  // namespace

std::string ConvertErrorLine(const std::string& message, const std::vector<TypedReal>& boxes,
                             char decimal) {
  const auto quoted = QuotedText(message);
  if (!quoted) return {};
  for (const TypedReal& box : boxes) {
    if (box.text != *quoted) continue;
    const std::string fixed = WithDecimal(box.text, decimal);
    std::string line = box.caption + ": '" + box.text + "' is not a number here";
    if (fixed != box.text)
      return line + ": this system writes decimals with '" + decimal + "', type " + fixed + ".";
    return line + ": type a number such as 0" + decimal + "1.";
  }
  return {};
}

std::string FileErrorLine(int code, const std::string& name) {
  if (name.empty()) return {};
  switch (code) {
    case 2:
      return FileAndFolder(name) + " was not found: choose the file with the \"...\" button "
             "beside its box.";
    case 3:
      return "'" + name + "' is not a usable file name: choose the file with the \"...\" button.";
    case 5:
      return FileAndFolder(name) + " cannot be opened: permission denied. Choose another file "
             "or folder.";
    default:
      return "The error concerns " + FileAndFolder(name) + ".";
  }
}

std::string SampleSizeLine(int32_t n, int32_t N) {
  return "n = " + std::to_string(n) + " > N = " + std::to_string(N) +
         ": lower the sampling size or raise the population size.";
}

std::string PopulationCountLine(const std::string& file, int rowsFound, int32_t P) {
  const std::string expected = std::to_string(P + 1);
  if (rowsFound < 0) return {};
  return FileAndFolder(file) + " has " + std::to_string(rowsFound) +
         (rowsFound == 1 ? " row" : " rows") + "; P = " + std::to_string(P) + " needs P + 1 = " +
         expected + " (one per population, then the migrants' source).";
}

int NonBlankLines(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return -1;
  int rows = 0;
  std::string line;
  while (std::getline(in, line))
    rows += line.find_first_not_of(" \t\r\f\v") != std::string::npos;
  return rows;
}

TailPValues TailPValuesOf(uint64_t higher, uint64_t simulations) {
  const double total = static_cast<double>(simulations) + 1;
  return {(static_cast<double>(higher) + 1) / total,
          (static_cast<double>(simulations - higher) + 1) / total};
}

std::string PValueText(double p) {
  // Not printf: the C library's locale may write a decimal comma.
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, p, std::chars_format::general, 3).ptr;
  return std::string(text, end);
}

std::string PValueLine(uint64_t higher, uint64_t simulations) {
  const TailPValues p = TailPValuesOf(higher, simulations);
  return "p_higher = " + PValueText(p.higher) + ", p_lower = " + PValueText(p.lower) + " (" +
         std::to_string(higher) + " higher, " + std::to_string(simulations - higher) +
         " not higher, of " + std::to_string(simulations) + " simulations)";
}

}  // namespace dw::ui
