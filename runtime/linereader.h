#pragma once
// Text read one line at a time through the current OsFiles, each line at
// most a given length, so that junk (a binary file, /dev/zero) is refused at
// its first line after a bounded read instead of being read whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dw {

class LineReader {
 public:
  // LineFeed: a line ends at LF, a CR just before it belonging to the end.
  // Any: CR, LF and CR LF each end a line.
  enum class Ends { LineFeed, Any };
  enum class Result { Line, End, TooLong, Failed };

  LineReader(Ends ends, std::size_t maxLine);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // 0, or the code of the failure (its errno in LastSystemError).
  [[nodiscard]] int Open(const std::string& name);
  // The next line without its end, and whether a line end closed it; a
  // final line end opens no line. TooLong: the line goes on past the bound
  // (nothing more is read); Failed: a read failed (Code, SystemError).
  [[nodiscard]] Result Next(std::string& line, bool& ended);
  // The 1-based number of the line last given, or of the one that failed.
  uint64_t LineNumber() const { return number_; }
  int Code() const { return code_; }
  int SystemError() const { return systemError_; }

 private:
  bool Fill();
  void Close();

  Ends ends_;
  std::size_t maxLine_;
  int handle_ = -1;
  std::vector<char> block_;
  std::size_t position_ = 0, end_ = 0;
  bool skipLineFeed_ = false;  // the last line ended with a CR (Any)
  uint64_t number_ = 0;
  int code_ = 0, systemError_ = 0;
};

}  // namespace dw
