#include "runtime/linereader.h"

#include <algorithm>
#include <cstring>

#include "runtime/osfiles.h"

namespace dw {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

LineReader::LineReader(Ends ends, std::size_t maxLine)
    : ends_(ends), maxLine_(maxLine), block_(kBlock) {}

LineReader::~LineReader() { Close(); }

void LineReader::Close() {
  if (handle_ >= 0) CurrentOsFiles().Close(handle_);
  handle_ = -1;
}

int LineReader::Open(const std::string& name) {
  Close();
  position_ = end_ = 0;
  skipLineFeed_ = false;
  number_ = 0;
  code_ = systemError_ = 0;
  SetLastSystemError(0);
  const int code = CurrentOsFiles().OpenForReading(name, handle_);
  if (code != 0) handle_ = -1;
  return code;
}

bool LineReader::Fill() {
  std::size_t got = 0;
  SetLastSystemError(0);
  const int code = CurrentOsFiles().Read(handle_, reinterpret_cast<unsigned char*>(block_.data()),
                                         block_.size(), got);
  if (code != 0) {
    code_ = code;
    systemError_ = LastSystemError();
    return false;
  }
  position_ = 0;
  end_ = got;
  return true;
}

LineReader::Result LineReader::Next(std::string& line, bool& ended) {
  line.clear();
  ended = false;
  bool begun = false;
  for (;;) {
    if (position_ == end_) {
      if (handle_ < 0) return Result::End;
      if (!Fill()) {
        ++number_;
        return Result::Failed;
      }
      if (end_ == 0) {  // the end of the data
        Close();
        if (!begun) return Result::End;
        ++number_;
        return Result::Line;
      }
    }
    if (skipLineFeed_) {
      skipLineFeed_ = false;
      if (block_[position_] == '\n') {
        ++position_;
        continue;
      }
    }
    const char* from = block_.data() + position_;
    const std::size_t available = end_ - position_;
    const char* stop = nullptr;
    if (ends_ == Ends::LineFeed) {
      stop = static_cast<const char*>(std::memchr(from, '\n', available));
    } else {
      const char* last = from + available;
      stop = std::find_if(from, last, [](char c) { return c == '\n' || c == '\r'; });
      if (stop == last) stop = nullptr;
    }
    const std::size_t take = stop != nullptr ? static_cast<std::size_t>(stop - from) : available;
    // A CR before the LF is the line end's, not the line's.
    const std::size_t allowed = maxLine_ + (ends_ == Ends::LineFeed ? 1 : 0);
    if (line.size() + take > allowed) {
      ++number_;
      Close();
      position_ = end_ = 0;
      return Result::TooLong;
    }
    line.append(from, take);
    position_ += take;
    begun = true;
    if (stop == nullptr) continue;
    ++position_;
    if (*stop == '\r') skipLineFeed_ = true;
    if (ends_ == Ends::LineFeed && !line.empty() && line.back() == '\r') line.pop_back();
    ended = true;
    ++number_;
    return Result::Line;
  }
}

}  // namespace dw
