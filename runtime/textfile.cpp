#include "runtime/textfile.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/errors.h"
#include "runtime/numtext.h"
#include "runtime/osfiles.h"

namespace dw {

namespace {

constexpr int kEndMark = 26;  // Ctrl-Z: stops every read at the same place
constexpr int kCR = 13;
constexpr int kLF = 10;
constexpr int kBlank = 32;  // this code and all below it separate tokens
constexpr std::size_t kMaxToken = 64;
constexpr int kExponentLimit = 5120;         // beyond the extended range either way
constexpr int kWrittenExponentCap = 100000;  // keeps long exponents from overflowing int
constexpr int kMaxWidth = 255;
constexpr int kMaxDecimals = 216;
constexpr int kMaxFixedExponent = 35;
constexpr int kScaledDigits = 19;  // the scaled magnitude is below 1.6e18
constexpr std::size_t kWorkArea = 256;
constexpr long double kTenTo17 = 100000000000000000.0L;  // exact in extended

// The pending I/O result, with what the command line names besides the code.
struct PendingIO {
  int code = 0;
  int systemError = 0;
  std::string fileName;
};

thread_local PendingIO pending;

std::string NameOf(const TextFile& file) {
  if (!file.assigned) return {};
  if (!file.name.empty()) return file.name;
  return file.mode == TextFile::Mode::Input ? "standard input" : "standard output";
}

// A code of the text file's own (102 … 106).
void Store(const TextFile& file, int code) { pending = PendingIO{code, 0, NameOf(file)}; }

// A code an operating-system call returned, with the system's error number.
void StoreSystem(const TextFile& file, int code) {
  pending = PendingIO{code, LastSystemError(), NameOf(file)};
}

// ---------------------------------------------------------------------------
// Powers of ten from the three tables.

// value × 10^exponent by successive multiplications (or divisions), smallest
// factor first, as the reading of a number does it.
long double ScaleByTables(long double value, int exponent) {
  if (value == 0.0L || exponent == 0) return value;
  int n = exponent < 0 ? -exponent : exponent;
  if (n >= kExponentLimit) return exponent > 0 ? HUGE_VALL : 0.0L;
  const PowerOfTenTables& p = PowersOfTen();
  const long double steps[3] = {p.units[n % 32], p.thirtyTwos[(n / 32) % 16],
                                p.fiveTwelves[n / 512]};
  for (long double step : steps) value = exponent > 0 ? value * step : value / step;
  return value;
}

// ---------------------------------------------------------------------------
// Reading.

void ResetBuffer(TextFile& file) {
  file.bufferPosition = 0;
  file.bufferEnd = 0;
}

void ResetMarks(TextFile& file) {
  file.written = 0;
  file.completeEnd = TextFile::kNoMark;
  file.durableEnd = TextFile::kNoMark;
}

// Called with the buffer exhausted. When nothing more can be read the end mark
// goes into the spare byte after the old content, so it is read from then on.
void FillBuffer(TextFile& file) {
  std::size_t got = 0;
  SetLastSystemError(0);
  int code = file.os->Read(file.handle, file.buffer, TextFile::kBufferSize, got);
  if (code == 0 && got > 0) {
    file.bufferPosition = 0;
    file.bufferEnd = std::min(got, TextFile::kBufferSize);
    return;
  }
  if (code != 0) StoreSystem(file, code);
  file.buffer[file.bufferEnd] = kEndMark;
  file.bufferPosition = file.bufferEnd;
  ++file.bufferEnd;
}

int ReadChar(TextFile& file) {
  if (file.mode != TextFile::Mode::Input) {
    Store(file, 104);
    return kEndMark;
  }
  if (file.bufferPosition >= file.bufferEnd) FillBuffer(file);
  int c = file.buffer[file.bufferPosition];
  if (c != kEndMark) ++file.bufferPosition;
  return c;
}

void PushBack(TextFile& file) { --file.bufferPosition; }

int SkipBlanks(TextFile& file) {
  int c;
  do c = ReadChar(file);
  while (c <= kBlank && c != kEndMark);
  return c;
}

// Up to kMaxToken characters; the rest of a longer token stays for the next read.
std::size_t CollectToken(TextFile& file, int first, char* token) {
  std::size_t length = 0;
  token[length++] = static_cast<char>(first);
  while (length < kMaxToken) {
    int c = ReadChar(file);
    if (c <= kBlank) {
      if (c != kEndMark) PushBack(file);
      break;
    }
    token[length++] = static_cast<char>(c);
  }
  return length;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// value × 10 + digit for each digit at `at`; returns how many were taken.
int AccumulateDigits(std::string_view token, std::size_t& at, long double& value) {
  int count = 0;
  for (; at < token.size() && IsDigit(token[at]); ++at, ++count)
    value = value * 10.0L + static_cast<long double>(token[at] - '0');
  return count;
}

// Optional sign and at least one digit.
bool ReadExponent(std::string_view token, std::size_t& at, int& exponent) {
  bool negative = false;
  if (at < token.size() && (token[at] == '+' || token[at] == '-')) negative = token[at++] == '-';
  if (at >= token.size() || !IsDigit(token[at])) return false;
  exponent = 0;
  for (; at < token.size() && IsDigit(token[at]); ++at)
    exponent = std::min(exponent * 10 + (token[at] - '0'), kWrittenExponentCap);
  if (negative) exponent = -exponent;
  return true;
}

// [+|-] digits* [. digits*] [(E|e) [+|-] digit+], the point as the only
// separator whatever the locale.
bool ConvertToken(std::string_view token, long double& value) {
  std::size_t at = 0;
  bool negative = false;
  if (token[at] == '+' || token[at] == '-') negative = token[at++] == '-';
  if (at == token.size()) return false;  // a sign alone
  long double digits = 0.0L;
  AccumulateDigits(token, at, digits);
  int decimals = 0;
  if (at < token.size() && token[at] == '.') decimals = AccumulateDigits(token, ++at, digits);
  int written = 0;
  if (at < token.size() && (token[at] == 'E' || token[at] == 'e') &&
      !ReadExponent(token, ++at, written))
    return false;
  if (at != token.size()) return false;
  value = ScaleByTables(digits, written - decimals);
  if (negative) value = -value;
  return true;
}

// ---------------------------------------------------------------------------
// Writing.

bool FlushBuffer(TextFile& file) {
  if (file.bufferPosition == 0) return true;
  SetLastSystemError(0);
  int code = file.os->Write(file.handle, file.buffer, file.bufferPosition);
  if (code != 0) {
    StoreSystem(file, code);  // the bytes stay, so closing can try again
    return false;
  }
  file.written += file.bufferPosition;
  file.durableEnd = file.completeEnd;  // the last mark is behind the written bytes
  file.bufferPosition = 0;
  return true;
}

// The error path of a marked file: the complete records go to the disk as far
// as they can, nothing after them stays there, and the marker follows them.
void KeepCompleteRecords(TextFile& file, std::string_view marker) {
  std::uint64_t keep = file.completeEnd;
  bool cut = file.written > keep;  // an earlier write reached past the mark
  if (keep > file.written) {
    const auto count = static_cast<std::size_t>(keep - file.written);  // within the buffer
    if (file.os->Write(file.handle, file.buffer, count) == 0) {
      file.written = keep;
    } else {
      keep = file.durableEnd;  // a write may have gone part of the way
      cut = true;
    }
  }
  file.bufferPosition = 0;
  const bool cuttable = keep != TextFile::kNoMark && !file.standardHandle &&
                        file.device == TextFile::Device::Disk;
  if (cut) {
    // Where the cut is refused, or cannot be made, what went out stays as it is.
    if (!cuttable || file.os->Truncate(file.handle, keep) != 0) return;
    file.written = keep;
  }
  if (marker.empty() || keep == TextFile::kNoMark) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(marker.data());
  if (file.os->Write(file.handle, bytes, marker.size()) == 0) {
    file.written += marker.size();
  } else if (cuttable) {
    // No part of a marker either; a refused cut leaves the file as the marker left it.
    (void)file.os->Truncate(file.handle, keep);
  }
}

void WriteBytes(TextFile& file, const char* data, std::size_t size) {
  if (file.mode != TextFile::Mode::Output) {
    Store(file, 105);
    return;
  }
  // A buffer left full by a failed write takes nothing and is retried first.
  while (size > 0) {
    std::size_t take = std::min(size, TextFile::kBufferSize - file.bufferPosition);
    std::memcpy(file.buffer + file.bufferPosition, data, take);
    file.bufferPosition += take;
    data += take;
    size -= take;
    if (file.bufferPosition == TextFile::kBufferSize && !FlushBuffer(file)) return;
  }
}

// Releases the handle (not a standard one); the file is closed whatever the
// operating system says, and its code is stored.
void CloseHandle(TextFile& file) {
  SetLastSystemError(0);
  int code = file.standardHandle ? 0 : file.os->Close(file.handle);
  if (code != 0) StoreSystem(file, code);  // named while the mode still tells stdin from stdout
  file.mode = TextFile::Mode::Closed;
  file.handle = -1;
  file.standardHandle = false;
  ResetBuffer(file);
}

// Closes an open file first; false when the file cannot be opened now.
bool PrepareOpen(TextFile& file) {
  if (file.mode != TextFile::Mode::Closed) {
    CloseFile(file);
    if (file.mode != TextFile::Mode::Closed) return false;  // its buffer could not be written
  }
  if (!file.assigned) {
    Store(file, 102);
    return false;
  }
  return true;
}

// An empty name means the standard input or output. Returns the code stored.
int OpenHandle(TextFile& file, TextFile::Mode mode) {
  file.os = &CurrentOsFiles();
  file.device = TextFile::Device::Disk;
  file.mode = mode;
  ResetBuffer(file);
  ResetMarks(file);
  file.standardHandle = file.name.empty();
  if (file.standardHandle) {
    file.handle = mode == TextFile::Mode::Input ? 0 : 1;
    return 0;
  }
  SetLastSystemError(0);
  int code = mode == TextFile::Mode::Input ? file.os->OpenForReading(file.name, file.handle)
                                           : file.os->OpenForWriting(file.name, file.handle);
  if (code != 0) {
    file.mode = TextFile::Mode::Closed;
    file.handle = -1;
    StoreSystem(file, code);
  }
  return code;
}

// ---------------------------------------------------------------------------
// The text of a real. The digit step makes the rounded digits; the layout step
// only places sign, point and padding.

// One position per digit: 19 scaled digits, then up to 234 appended zeros.
struct DigitBuffer {
  char digits[kWorkArea];
};

// A right-justified field of at most kMaxWidth characters.
struct RealField {
  char text[kWorkArea];
  std::size_t length = 0;
};

// Finds e with magnitude / 10^e in [1, 16), starting from the estimate that
// the base-2 exponent gives.
void Normalise(long double magnitude, int& e, long double& scaled) {
  int binary = 0;
  std::frexp(magnitude, &binary);
  e = static_cast<int>(std::floor((binary - 1) * 0.30102999566398120));
  for (;;) {
    scaled = e >= 0 ? ScaleByPowerOfTen(magnitude, -e) : ScaleByTables(magnitude, -e);
    if (scaled < 1.0L)
      --e;
    else if (scaled >= 16.0L)
      ++e;
    else
      return;
  }
}

// digits[0] the tens of `scaled` (0 or 1), digits[1] its units, then 17 decimals.
void ScaledDigits(long double scaled, char* digits) {
  auto n = static_cast<unsigned long long>(std::rint(scaled * kTenTo17));
  for (int i = kScaledDigits - 1; i >= 0; --i, n /= 10) digits[i] = static_cast<char>('0' + n % 10);
}

void CarryFrom(char* digits, int at) {
  while (digits[at] == '9') digits[at--] = '0';
  assert(at >= 0);  // digit 0 is at most 1 before the carry
  ++digits[at];
}

// Digits 0 … e + 1 + d of the value, rounded half away from zero at digit
// e + 1 + d when the 19 digits reach past it.
void FixedDigits(long double scaled, int e, int d, DigitBuffer& out) {
  ScaledDigits(scaled, out.digits);
  int k = e + 1 + d;
  if (k < kScaledDigits - 1) {
    if (out.digits[k + 1] >= '5') CarryFrom(out.digits, k);
  } else {
    std::fill(out.digits + kScaledDigits, out.digits + k + 1, '0');
  }
}

// `precision` significant digits of a normalised value, rounded half away
// from zero; returns the decimal exponent of the first one.
int SignificantDigits(long double scaled, int e, int precision, DigitBuffer& out) {
  ScaledDigits(scaled, out.digits);
  int first = out.digits[0] != '0' ? 0 : 1;
  int exponent = e + 1 - first;
  int rounding = first + precision;
  if (rounding < kScaledDigits && out.digits[rounding] >= '5') {
    CarryFrom(out.digits, rounding - 1);
    if (first == 1 && out.digits[0] != '0') {
      first = 0;  // 9.99… became 10.0…
      ++exponent;
    }
  }
  std::memmove(out.digits, out.digits + first, static_cast<std::size_t>(precision));
  return exponent;
}

void Put(RealField& field, char c) { field.text[field.length++] = c; }

void PutDigits(RealField& field, const char* digits, int from, int to) {
  for (int i = from; i <= to; ++i) Put(field, digits[i]);
}

// Moves the text right within `width`; a longer text is kept whole.
void RightJustify(RealField& field, int width) {
  if (width <= static_cast<int>(field.length)) return;
  std::size_t pad = static_cast<std::size_t>(width) - field.length;
  std::memmove(field.text + pad, field.text, field.length);
  std::memset(field.text, ' ', pad);
  field.length += pad;
}

void LayOutWord(const char* word, int width, RealField& field) {
  for (; *word != '\0'; ++word) Put(field, *word);
  RightJustify(field, width);
}

void LayOutFixed(const DigitBuffer& digits, int e, int d, bool negative, int width,
                 RealField& field) {
  if (negative) Put(field, '-');
  PutDigits(field, digits.digits, digits.digits[0] != '0' ? 0 : 1, e + 1);
  if (d > 0) {
    Put(field, '.');
    PutDigits(field, digits.digits, e + 2, e + 1 + d);
  }
  RightJustify(field, width);
}

void LayOutExponent(const DigitBuffer& digits, int precision, int exponent, bool negative,
                    int width, RealField& field) {
  Put(field, negative ? '-' : ' ');
  Put(field, digits.digits[0]);
  Put(field, '.');
  PutDigits(field, digits.digits, 1, precision - 1);
  Put(field, 'E');
  Put(field, exponent < 0 ? '-' : '+');
  int magnitude = exponent < 0 ? -exponent : exponent;
  for (int divisor : {1000, 100, 10, 1})
    Put(field, static_cast<char>('0' + magnitude / divisor % 10));
  RightJustify(field, width);
}

void FormatExponentForm(long double magnitude, bool negative, int width, RealField& field) {
  int precision = std::clamp(width - 8, 2, 18);
  int e = 0;
  long double scaled = 0.0L;
  if (magnitude != 0.0L) Normalise(magnitude, e, scaled);
  DigitBuffer digits;
  int exponent = SignificantDigits(scaled, e, precision, digits);
  LayOutExponent(digits, precision, exponent, negative, width, field);
}

void FormatReal(long double value, int32_t width, int32_t decimals, RealField& field) {
  // A width below 0 pads no more than 0 does, and keeps width - 8 in range.
  int w = std::clamp(width, 0, kMaxWidth);
  if (std::isnan(value)) return LayOutWord("Nan", w, field);
  bool negative = std::signbit(value);
  if (std::isinf(value)) return LayOutWord(negative ? "-Inf" : "+Inf", w, field);
  long double magnitude = std::fabs(value);
  if (decimals < 0) return FormatExponentForm(magnitude, negative, w, field);
  int e = 0;
  long double scaled = magnitude;
  if (magnitude >= 10.0L) Normalise(magnitude, e, scaled);
  if (e > kMaxFixedExponent) return FormatExponentForm(magnitude, negative, w, field);
  int d = std::min(decimals, kMaxDecimals);
  DigitBuffer digits;
  FixedDigits(scaled, e, d, digits);
  LayOutFixed(digits, e, d, negative, w, field);
}

std::size_t IntegerText(int32_t value, char* text) {
  char reversed[10];
  std::size_t count = 0;
  // The magnitude in unsigned arithmetic, so that INT32_MIN has one.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do reversed[count++] = static_cast<char>('0' + magnitude % 10);
  while ((magnitude /= 10) != 0);
  std::size_t length = 0;
  if (value < 0) text[length++] = '-';
  while (count > 0) text[length++] = reversed[--count];
  return length;
}

}  // namespace

TextFile::~TextFile() {
  if (mode != Mode::Closed && !standardHandle && os != nullptr) os->Close(handle);
}

void Assign(TextFile& file, std::string_view name) {
  file.mode = TextFile::Mode::Closed;
  ResetBuffer(file);
  ResetMarks(file);
  file.name.assign(name);
  file.device = TextFile::Device::Disk;
  file.assigned = true;
  file.standardHandle = false;
  file.handle = -1;
}

void OpenRead(TextFile& file) {
  if (PrepareOpen(file)) OpenHandle(file, TextFile::Mode::Input);
}

void OpenWrite(TextFile& file) {
  if (!PrepareOpen(file) || OpenHandle(file, TextFile::Mode::Output) != 0) return;
  switch (file.os->KindOf(file.handle)) {
    case OsFiles::Kind::Disk: file.device = TextFile::Device::Disk; break;
    case OsFiles::Kind::CharDevice: file.device = TextFile::Device::CharDevice; break;
    case OsFiles::Kind::Pipe: file.device = TextFile::Device::Pipe; break;
    case OsFiles::Kind::Unknown:
      CloseHandle(file);
      Store(file, 105);
      break;
  }
}

void CloseFile(TextFile& file) {
  if (file.mode == TextFile::Mode::Closed) {
    Store(file, 103);
    return;
  }
  if (file.mode == TextFile::Mode::Output && !FlushBuffer(file)) return;
  CloseHandle(file);
}

bool ReadReal(TextFile& file, long double& value) {
  value = 0.0L;
  int first = SkipBlanks(file);
  if (first == kEndMark) return false;
  char token[kMaxToken];
  std::size_t length = CollectToken(file, first, token);
  if (!ConvertToken(std::string_view(token, length), value)) {
    value = 0.0L;
    Store(file, 106);
  }
  return true;
}

void SkipLine(TextFile& file) {
  int c;
  do c = ReadChar(file);
  while (c != kCR && c != kLF && c != kEndMark);
  if (c != kCR) return;
  c = ReadChar(file);
  if (c != kLF && c != kEndMark) PushBack(file);
}

bool AtEnd(TextFile& file) {
  if (file.mode != TextFile::Mode::Input) {
    Store(file, 104);
    return true;
  }
  if (file.bufferPosition < file.bufferEnd) return file.buffer[file.bufferPosition] == kEndMark;
  if (ReadChar(file) == kEndMark) return true;
  PushBack(file);
  return false;
}

bool AtEndAfterBlanks(TextFile& file) {
  if (file.mode != TextFile::Mode::Input) {
    Store(file, 104);
    return true;
  }
  if (SkipBlanks(file) == kEndMark) return true;
  PushBack(file);
  return false;
}

bool SkipByteOrderMark(TextFile& file) {
  static constexpr unsigned char kMark[3] = {0xEF, 0xBB, 0xBF};
  if (file.mode != TextFile::Mode::Input) {
    Store(file, 104);
    return false;
  }
  if (file.bufferPosition >= file.bufferEnd) FillBuffer(file);
  const auto unread = [&] { return file.bufferEnd - file.bufferPosition; };
  const auto startsLikeTheMark = [&] {
    for (std::size_t i = 0; i < unread() && i < 3; ++i)
      if (file.buffer[file.bufferPosition + i] != kMark[i]) return false;
    return true;
  };
  // A pipe may hand over fewer than three bytes at a time: top the buffer up.
  while (unread() < 3 && startsLikeTheMark()) {
    std::memmove(file.buffer, file.buffer + file.bufferPosition, unread());
    file.bufferEnd = unread();
    file.bufferPosition = 0;
    std::size_t got = 0;
    SetLastSystemError(0);
    const int code = file.os->Read(file.handle, file.buffer + file.bufferEnd,
                                   TextFile::kBufferSize - file.bufferEnd, got);
    if (code != 0) StoreSystem(file, code);
    if (code != 0 || got == 0) break;
    file.bufferEnd += got;
  }
  if (unread() < 3 || !startsLikeTheMark()) return false;
  file.bufferPosition += 3;
  return true;
}

void WriteText(TextFile& file, std::string_view text) {
  WriteBytes(file, text.data(), text.size());
}

void WriteInteger(TextFile& file, int32_t value) {
  char text[12];
  WriteBytes(file, text, IntegerText(value, text));
}

void WriteReal(TextFile& file, long double value, int32_t width, int32_t decimals) {
  RealField field;
  FormatReal(value, width, decimals, field);
  WriteBytes(file, field.text, field.length);
}

void EndLine(TextFile& file) {
  WriteBytes(file, "\r\n", 2);
  EndStatement(file);
}

void EndStatement(TextFile& file) {
  if (file.mode == TextFile::Mode::Closed) {
    Store(file, 103);
    return;
  }
  if (file.mode == TextFile::Mode::Output && file.device == TextFile::Device::CharDevice)
    FlushBuffer(file);
}

void CheckIO() {
  if (pending.code == 0) return;
  PendingIO raised = std::move(pending);
  pending = PendingIO{};
  throw EInOutError(raised.code, raised.systemError, std::move(raised.fileName));
}

int PendingIOResult() { return pending.code; }

void SetPendingIOResult(int code) { pending = PendingIO{code, 0, {}}; }

void MarkComplete(TextFile& file) {
  if (file.mode != TextFile::Mode::Output) return;
  file.completeEnd = file.written + file.bufferPosition;
  if (file.bufferPosition == 0) file.durableEnd = file.completeEnd;
}

void ReleaseFile(TextFile& file, std::string_view marker) noexcept {
  if (file.mode == TextFile::Mode::Closed) return;
  PendingIO saved = pending;
  if (file.mode == TextFile::Mode::Output && file.completeEnd != TextFile::kNoMark)
    KeepCompleteRecords(file, marker);
  CloseFile(file);
  if (file.mode != TextFile::Mode::Closed) {
    // The handle is released whatever it says: the pending code stays the one saved.
    if (!file.standardHandle) (void)file.os->Close(file.handle);
    file.mode = TextFile::Mode::Closed;
    file.handle = -1;
    file.standardHandle = false;
    ResetBuffer(file);
  }
  pending = std::move(saved);
}

std::string RealText(long double value, int32_t width, int32_t decimals) {
  RealField field;
  FormatReal(value, width, decimals, field);
  return std::string(field.text, field.length);
}

}  // namespace dw
