#include "runtime/textfile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runtime/errors.h"
#include "runtime/osfiles.h"

namespace dw {
namespace {

// Records every call; can fail the k-th write or every close, and serves
// `input` to reads.
class FakeFiles : public OsFiles {
 public:
  std::string input;
  std::size_t readAt = 0;
  int readCalls = 0;
  int readCode = 0;
  int writeCalls = 0;
  int failWriteCall = 0;  // 1-based; 0 never, -1 always
  int writeCode = 28;
  std::vector<std::string> writes;  // the successful ones
  std::vector<int> closed;
  int closeCode = 0;
  Kind kind = Kind::Disk;
  int nextHandle = 100;

  int OpenForReading(const std::string&, int& handle) override {
    handle = nextHandle++;
    return 0;
  }
  int OpenForWriting(const std::string&, int& handle) override {
    handle = nextHandle++;
    return 0;
  }
  int Read(int, unsigned char* data, std::size_t size, std::size_t& got) override {
    ++readCalls;
    got = 0;
    if (readCode != 0) return readCode;
    got = std::min(size, input.size() - readAt);
    std::memcpy(data, input.data() + readAt, got);
    readAt += got;
    return 0;
  }
  int Write(int, const unsigned char* data, std::size_t size) override {
    ++writeCalls;
    if (failWriteCall == -1 || writeCalls == failWriteCall) return writeCode;
    writes.emplace_back(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  int Close(int handle) override {
    closed.push_back(handle);
    return closeCode;
  }
  Kind KindOf(int) override { return kind; }

  std::string Written() const {
    std::string all;
    for (const std::string& w : writes) all += w;
    return all;
  }
};

// "code message" of what CheckIO raises, "none" when it returns.
std::string RaisedIOError() {
  try {
    CheckIO();
    return "none";
  } catch (const EInOutError& e) {
    return std::to_string(e.IOErrorCode()) + " " + e.what();
  }
}

void OpenOutput(TextFile& file) {
  Assign(file, "out.txt");
  OpenWrite(file);
}

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPendingIOResult(0);
    SetOsFiles(&fake);
    char pattern[] = "/tmp/dw_textfile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    SetOsFiles(nullptr);
    SetPendingIOResult(0);
    std::filesystem::remove_all(dir);
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }

  void OpenFakeInput(TextFile& file, const std::string& content) {
    fake.input = content;
    Assign(file, "in.txt");
    OpenRead(file);
    ASSERT_EQ(PendingIOResult(), 0);
  }

  // Reads numbers, skipping each line after its first, until AtEnd.
  std::vector<long double> FirstOfEachLine(TextFile& file) {
    std::vector<long double> values;
    for (int guard = 0; !AtEnd(file) && guard < 100; ++guard) {
      long double v = -1;
      ReadReal(file, v);
      values.push_back(v);
      SkipLine(file);
    }
    return values;
  }

  static std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  FakeFiles fake;
  std::filesystem::path dir;
};

using TextFileReading = TextFileTest;
using TextFileWriting = TextFileTest;
using TextFileOpening = TextFileTest;
using TextFileFaults = TextFileTest;

// ---------------------------------------------------------------------------
// Reading

TEST_F(TextFileReading, ReadRealFollowsTheNumberGrammar) {
  const long double inf = std::numeric_limits<long double>::infinity();
  struct Case {
    const char* text;
    long double value;
    int code;
  };
  const Case cases[] = {
      {"0.25", 0.25L, 0},
      {"  0.25\r\n", 0.25L, 0},
      {".5", 0.5L, 0},
      {"5e-1", 0.5L, 0},
      {"5.", 5.0L, 0},
      {"+7", 7.0L, 0},
      {"-2.5E+3", -2500.0L, 0},
      {"\t1e2\x01", 100.0L, 0},
      {"0.1", std::strtold("0.1", nullptr), 0},
      {"12345678901234567890", 12345678901234567890.0L, 0},
      {"1e4933", inf, 0},
      {"-1e99999999999", -inf, 0},
      {"1e-5000", 0.0L, 0},
      {"0e9999", 0.0L, 0},
      {" \t\r\n  \r\n", 0.0L, 0},
      {"", 0.0L, 0},
      {"0,25", 0.0L, 106},
      {"1E", 0.0L, 106},
      {"+", 0.0L, 106},
      {"0.5x", 0.0L, 106},
      {"1e+", 0.0L, 106},
      {"--1", 0.0L, 106},
      {"1.2.3", 0.0L, 106},
      {"1e5.0", 0.0L, 106},
  };
  for (const Case& c : cases) {
    SetPendingIOResult(0);
    TextFile file;
    OpenFakeInput(file, c.text);
    fake.readAt = 0;
    long double value = -99;
    ReadReal(file, value);
    EXPECT_EQ(PendingIOResult(), c.code) << '"' << c.text << '"';
    if (c.code == 0) {
      EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    }
    CloseFile(file);
  }
}

TEST_F(TextFileReading, CommaTokenRaisesNumericInputMessage) {
  TextFile file;
  OpenFakeInput(file, "0,25\r\n");
  long double value;
  ReadReal(file, value);
  EXPECT_EQ(RaisedIOError(), "106 Saisie numérique incorrecte");
  EXPECT_EQ(PendingIOResult(), 0);
}

TEST_F(TextFileReading, LineEndStaysUnreadUntilSkipLine) {
  TextFile file;
  OpenFakeInput(file, "  0.25\r\n3");
  long double value = 0;
  ReadReal(file, value);
  EXPECT_EQ(value, 0.25L);
  EXPECT_EQ(file.buffer[file.bufferPosition], '\r');
  SkipLine(file);
  EXPECT_EQ(file.buffer[file.bufferPosition], '3');
  ReadReal(file, value);
  EXPECT_EQ(value, 3.0L);
  EXPECT_TRUE(AtEnd(file));
  EXPECT_EQ(PendingIOResult(), 0);
}

TEST_F(TextFileReading, TokenLongerThan64IsReadAsTwo) {
  std::string digits;
  for (int i = 0; i < 7; ++i) digits += "1234567890";
  TextFile file;
  OpenFakeInput(file, digits + " 8");
  long double first = 0, second = 0, third = 0;
  ReadReal(file, first);
  ReadReal(file, second);
  ReadReal(file, third);
  long double expected = std::strtold(digits.substr(0, 64).c_str(), nullptr);
  EXPECT_NEAR(static_cast<double>(first / expected), 1.0, 1e-17);
  EXPECT_EQ(second, 567890.0L);
  EXPECT_EQ(third, 8.0L);
}

TEST_F(TextFileReading, EachKindOfLineEndEndsALine) {
  for (const char* text :
       {"10 a b\n20 c\n30\n", "10 a b\r20 c\r30\r", "10 a b\r\n20 c\r\n30\r\n"}) {
    TextFile file;
    OpenFakeInput(file, text);
    fake.readAt = 0;
    EXPECT_EQ(FirstOfEachLine(file), (std::vector<long double>{10, 20, 30})) << text;
    EXPECT_EQ(PendingIOResult(), 0);
  }
}

TEST_F(TextFileReading, SkipLineStopsAfterCrCrLfOrLf) {
  struct Case {
    const char* text;
    int skips;
    int next;  // the byte the following read sees; 26 at the end of the data
  };
  const Case cases[] = {
      {"a\nb\nc", 1, 'b'},   {"a\nb\nc", 2, 'c'},   {"a\rb", 1, 'b'},
      {"a\r\nb", 1, 'b'},    {"a\r\r\nb", 1, '\r'}, {"a\r\r\nb", 2, 'b'},
      {"a\n\rb", 1, '\r'},   {"a\n\rb", 2, 'b'},    {"a\n\nb", 2, 'b'},
      {"a\r", 1, 26},         {"abc", 1, 26},         {"a\r", 3, 26},
  };
  for (const Case& c : cases) {
    TextFile file;
    OpenFakeInput(file, c.text);
    fake.readAt = 0;
    for (int i = 0; i < c.skips; ++i) SkipLine(file);
    ASSERT_LT(file.bufferPosition, file.bufferEnd);
    EXPECT_EQ(file.buffer[file.bufferPosition], c.next) << c.text << " after " << c.skips;
  }
  EXPECT_EQ(PendingIOResult(), 0);
}

TEST_F(TextFileReading, AtEndOnlyAtThePhysicalEnd) {
  struct Case {
    const char* text;
    bool atEnd;
  };
  for (Case c : {Case{"1\r\n", true}, {"1", true}, {"1\r\n\r\n", false}, {"1\r\n ", false},
                 {"1\r\n\x1a more", true}}) {
    TextFile file;
    OpenFakeInput(file, c.text);
    fake.readAt = 0;
    long double value;
    ReadReal(file, value);
    SkipLine(file);
    EXPECT_EQ(AtEnd(file), c.atEnd) << c.text;
  }
}

TEST_F(TextFileReading, CtrlZEndsTheInputForEveryRead) {
  TextFile file;
  OpenFakeInput(file, "1 2\x1a 3\r\n4\r\n");
  long double a = 0, b = 0, c = -1;
  ReadReal(file, a);
  ReadReal(file, b);
  EXPECT_EQ(a, 1.0L);
  EXPECT_EQ(b, 2.0L);
  EXPECT_TRUE(AtEnd(file));
  ReadReal(file, c);
  EXPECT_EQ(c, 0.0L);
  SkipLine(file);
  EXPECT_TRUE(AtEnd(file));
  ReadReal(file, c);
  EXPECT_EQ(c, 0.0L);
  EXPECT_EQ(PendingIOResult(), 0);
  EXPECT_EQ(fake.readCalls, 1);
}

TEST_F(TextFileReading, OneSystemReadPer128Bytes) {
  struct Case {
    std::size_t blanks;  // before a six-digit token, which may straddle the buffer end
    int reads;
  };
  for (Case c : {Case{0, 2}, {122, 2}, {123, 3}, {125, 3}, {250, 3}, {251, 4}}) {
    TextFile file;
    OpenFakeInput(file, std::string(c.blanks, ' ') + "123456");
    fake.readAt = 0;
    fake.readCalls = 0;
    long double value = 0;
    ReadReal(file, value);
    EXPECT_EQ(value, 123456.0L) << c.blanks;
    EXPECT_TRUE(AtEnd(file));
    EXPECT_EQ(fake.readCalls, c.reads) << c.blanks;
  }
}

// ---------------------------------------------------------------------------
// Text of integers and reals

TEST_F(TextFileWriting, WriteIntegerWritesPlainDecimal) {
  struct Case {
    int32_t value;
    const char* text;
  };
  for (Case c : {Case{100, "100"}, {-7, "-7"}, {0, "0"}, {INT32_MIN, "-2147483648"},
                 {INT32_MAX, "2147483647"}}) {
    FakeFiles local;
    SetOsFiles(&local);
    TextFile file;
    OpenOutput(file);
    WriteInteger(file, c.value);
    CloseFile(file);
    EXPECT_EQ(local.Written(), c.text);
    EXPECT_EQ(PendingIOResult(), 0);
  }
}

TEST(RealText, FixedFormRoundsHalfAwayAndCarries) {
  struct Case {
    long double value;
    int width, decimals;
    std::string text;
  };
  const Case cases[] = {
      {0.1L, 5, 4, "0.1000"},
      {0.0123456789L, 11, 7, "  0.0123457"},
      {9.99999996L, 11, 7, " 10.0000000"},
      {-0.00000001L, 11, 7, " -0.0000000"},
      {0.1234567L, 11, 7, "  0.1234567"},
      {-0.1234567L, 11, 7, " -0.1234567"},
      {1234.5L, 11, 7, "1234.5000000"},
      {0.125L, 0, 2, "0.13"},
      {-0.125L, 0, 2, "-0.13"},
      {2.5L, 0, 0, "3"},
      {0.5L, 0, 0, "1"},
      {0.4L, 3, 0, "  0"},
      {-0.0L, 6, 2, " -0.00"},
      {0.0L, 6, 2, "  0.00"},
      {9.5L, 0, 0, "10"},
      {15.99L, 0, 1, "16.0"},
      {99.96L, 0, 1, "100.0"},
      {16.0L, 0, 0, "16"},
      {1e-300L, 0, 3, "0.000"},
      {0.5L, 0, 20, "0.50000000000000000000"},
      {2.0L / 3.0L, 0, 17, "0.66666666666666667"},  // the 19 digits are rounded, not cut
      {2.0L / 3.0L, 0, 20, "0.66666666666666667000"},
      {std::ldexp(1.0L, 70), 0, 0, "1180591620717411300000"},  // 19 digits, then zeros
      {1e35L, 0, 0, "1" + std::string(35, '0')},
      {1e36L, 0, 0, "1" + std::string(36, '0')},  // e is still 35: 10^36 / 10^35 < 16
      {-7.0L, -3, 1, "-7.0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RealText(c.value, c.width, c.decimals), c.text)
        << static_cast<double>(c.value) << " " << c.width << ":" << c.decimals;
}

TEST(RealText, WidthAndDecimalsAreCapped) {
  EXPECT_EQ(RealText(1.0L, 1000, 0), std::string(254, ' ') + "1");
  std::string text = RealText(1.0L, 0, 300);
  EXPECT_EQ(text, "1." + std::string(216, '0'));
  std::string widest = RealText(-1.2e36L, 0, 216);  // 37 integer digits, the widest fixed text
  EXPECT_EQ(widest.size(), 255u);
  EXPECT_EQ(widest.substr(0, 3), "-12");
}

TEST(RealText, ExponentAndSpecialForms) {
  const long double inf = std::numeric_limits<long double>::infinity();
  struct Case {
    long double value;
    int width, decimals;
    const char* text;
  };
  const Case cases[] = {
      {1.5e40L, 15, 2, " 1.500000E+0040"},
      {-1234.5L, 12, -1, "-1.235E+0003"},
      {0.000123L, 10, -1, " 1.2E-0004"},
      {0.000123L, 5, -1, " 1.2E-0004"},
      {9.96L, 10, -1, " 1.0E+0001"},
      {1e37L, 0, 3, " 1.0E+0037"},
      {0.0L, 12, -1, " 0.000E+0000"},
      {1e-4940L, 12, -1, " 1.000E-4940"},
      {1.18e4932L, 12, -1, " 1.180E+4932"},
      {std::nanl(""), 6, 2, "   Nan"},
      {inf, 5, 1, " +Inf"},
      {-inf, 2, 0, "-Inf"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RealText(c.value, c.width, c.decimals), c.text)
        << static_cast<double>(c.value) << " " << c.width << ":" << c.decimals;
  // At most 18 significant digits, however wide the field.
  EXPECT_EQ(RealText(1.0L, 40, -1), std::string(14, ' ') + " 1." + std::string(17, '0') + "E+0000");
}

TEST_F(TextFileWriting, WriteRealWritesRealTextAndEndLineCrLf) {
  TextFile file;
  OpenOutput(file);
  WriteReal(file, 0.0123456789L, 11, 7);
  WriteReal(file, -2.0L, 6, 2);
  EndLine(file);
  CloseFile(file);
  EXPECT_EQ(fake.Written(), "  0.0123457 -2.00\r\n");
  EXPECT_EQ(PendingIOResult(), 0);
}

TEST_F(TextFileWriting, RoundTripThroughAFileWithinHalfAUnit) {
  SetOsFiles(nullptr);
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> exponent(-8.0, 12.0);
  struct Value {
    long double v;
    int decimals;
  };
  std::vector<Value> values;
  for (int i = 0; i < 400; ++i) {
    long double v = std::pow(10.0L, static_cast<long double>(exponent(rng)));
    if (rng() & 1) v = -v;
    values.push_back({v, static_cast<int>(rng() % 5) * 3});  // 0, 3, 6, 9, 12 decimals
  }
  TextFile out;
  Assign(out, Path("round.txt"));
  OpenWrite(out);
  for (const Value& x : values) {
    WriteReal(out, x.v, 11, x.decimals);
    EndLine(out);
  }
  CloseFile(out);
  ASSERT_EQ(PendingIOResult(), 0);

  TextFile in;
  Assign(in, Path("round.txt"));
  OpenRead(in);
  for (const Value& x : values) {
    long double back = 0;
    ReadReal(in, back);
    SkipLine(in);
    long double halfUnit = 0.5L * std::pow(10.0L, static_cast<long double>(-x.decimals));
    EXPECT_LE(std::fabs(back - x.v), halfUnit + std::fabs(x.v) * 1e-17L)
        << static_cast<double>(x.v) << " with " << x.decimals;
  }
  EXPECT_TRUE(AtEnd(in));
  CloseFile(in);
  EXPECT_EQ(PendingIOResult(), 0);
}

// ---------------------------------------------------------------------------
// Buffering

TEST_F(TextFileWriting, BufferReachesTheSystemPer128Bytes) {
  struct Case {
    std::size_t bytes;
    std::vector<std::size_t> beforeClose, atClose;
  };
  const Case cases[] = {
      {127, {}, {127}},
      {128, {128}, {}},
      {129, {128}, {1}},
      {300, {128, 128}, {44}},
  };
  for (const Case& c : cases) {
    FakeFiles local;
    SetOsFiles(&local);
    TextFile file;
    OpenOutput(file);
    std::string text(c.bytes, 'x');
    for (std::size_t i = 0; i < c.bytes; ++i) text[i] = static_cast<char>('a' + i % 26);
    for (char ch : text) WriteText(file, std::string_view(&ch, 1));
    EndStatement(file);  // nothing for a disk file
    std::vector<std::size_t> sizes;
    for (const std::string& w : local.writes) sizes.push_back(w.size());
    EXPECT_EQ(sizes, c.beforeClose) << c.bytes;
    CloseFile(file);
    sizes.erase(sizes.begin(), sizes.end());
    for (std::size_t i = c.beforeClose.size(); i < local.writes.size(); ++i)
      sizes.push_back(local.writes[i].size());
    EXPECT_EQ(sizes, c.atClose) << c.bytes;
    EXPECT_EQ(local.Written(), text);
  }
}

TEST_F(TextFileWriting, EndStatementWritesOutOnlyForACharacterDevice) {
  struct Case {
    OsFiles::Kind kind;
    std::size_t writesAfterStatement;
  };
  for (Case c : {Case{OsFiles::Kind::Disk, 0}, {OsFiles::Kind::Pipe, 0},
                 {OsFiles::Kind::CharDevice, 1}}) {
    FakeFiles local;
    local.kind = c.kind;
    SetOsFiles(&local);
    TextFile file;
    OpenOutput(file);
    WriteInteger(file, 42);
    EndLine(file);
    EXPECT_EQ(local.writes.size(), c.writesAfterStatement);
    CloseFile(file);
    EXPECT_EQ(local.Written(), "42\r\n");
    EXPECT_EQ(PendingIOResult(), 0);
  }
}

TEST_F(TextFileWriting, Exactly128And129BytesOnDiskReadBack) {
  SetOsFiles(nullptr);
  for (std::size_t size : {128u, 129u}) {
    // Numbers "1 2 3 … " padded with blanks to the size, the last byte a digit.
    std::string text;
    std::vector<long double> expected;
    for (int n = 1; text.size() + 4 < size; ++n) {
      text += std::to_string(n) + " ";
      expected.push_back(n);
    }
    text.append(size - text.size() - 1, ' ');
    text += "7";
    expected.push_back(7);
    TextFile out;
    Assign(out, Path("exact.txt"));
    OpenWrite(out);
    WriteText(out, text);
    CloseFile(out);
    ASSERT_EQ(PendingIOResult(), 0);
    EXPECT_EQ(ReadWholeFile(Path("exact.txt")), text);

    TextFile in;
    Assign(in, Path("exact.txt"));
    OpenRead(in);
    std::vector<long double> back;
    while (!AtEnd(in) && back.size() < 100) {
      long double v = 0;
      ReadReal(in, v);
      back.push_back(v);
    }
    EXPECT_EQ(back, expected) << size;
    CloseFile(in);
  }
}

// ---------------------------------------------------------------------------
// Opening, closing and the codes

TEST_F(TextFileOpening, SystemFailuresCarryTheirCodes) {
  SetOsFiles(nullptr);
  std::ofstream(Path("plain.txt")) << "1\n";
  std::filesystem::create_directory(dir / "sub");
  struct Case {
    std::string name;
    bool write;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {Path("missing.txt"), false, 2, "Fichier introuvable"},
      {Path("nodir/x.txt"), true, 2, "Fichier introuvable"},
      {Path("sub"), false, 5, "Accès au fichier refusé"},
      {Path("sub"), true, 5, "Accès au fichier refusé"},
      {Path("plain.txt/x"), false, 3, "Nom de fichier incorrect"},
  };
  for (const Case& c : cases) {
    TextFile file;
    Assign(file, c.name);
    c.write ? OpenWrite(file) : OpenRead(file);
    EXPECT_EQ(file.mode, TextFile::Mode::Closed) << c.name;
    EXPECT_EQ(RaisedIOError(), std::to_string(c.code) + " " + c.message) << c.name;
  }
}

TEST_F(TextFileOpening, WrongStateCodes) {
  struct Case {
    const char* what;
    void (*act)(TextFile&);
    int code;
  };
  const Case cases[] = {
      {"open never assigned", [](TextFile& f) { OpenRead(f); }, 102},
      {"open for writing never assigned", [](TextFile& f) { OpenWrite(f); }, 102},
      {"close twice",
       [](TextFile& f) {
         Assign(f, "a");
         OpenRead(f);
         CloseFile(f);
         CloseFile(f);
       },
       103},
      {"end statement when closed", [](TextFile& f) { Assign(f, "a"); EndStatement(f); }, 103},
      {"read an output file",
       [](TextFile& f) {
         Assign(f, "a");
         OpenWrite(f);
         long double v;
         ReadReal(f, v);
       },
       104},
      {"skip a line when closed", [](TextFile& f) { Assign(f, "a"); SkipLine(f); }, 104},
      {"write an input file",
       [](TextFile& f) {
         Assign(f, "a");
         OpenRead(f);
         WriteText(f, "x");
       },
       105},
      {"end a line of an input file",
       [](TextFile& f) {
         Assign(f, "a");
         OpenRead(f);
         EndLine(f);
       },
       105},
  };
  for (const Case& c : cases) {
    SetPendingIOResult(0);
    TextFile file;
    c.act(file);
    EXPECT_EQ(PendingIOResult(), c.code) << c.what;
  }
  TextFile closed;
  Assign(closed, "a");
  SetPendingIOResult(0);
  EXPECT_TRUE(AtEnd(closed));
  EXPECT_EQ(PendingIOResult(), 104);
}

TEST_F(TextFileOpening, SecondCloseReportsCode103) {
  TextFile file;
  Assign(file, "a");
  OpenWrite(file);
  CloseFile(file);
  CheckIO();
  CloseFile(file);
  EXPECT_EQ(RaisedIOError(), "103 Erreur E/S 103");
}

TEST_F(TextFileOpening, ReopeningWritesOutAndClosesFirst) {
  TextFile file;
  Assign(file, "a");
  OpenWrite(file);
  int first = file.handle;
  WriteText(file, "abc");
  fake.input = "5";
  OpenRead(file);
  EXPECT_EQ(fake.Written(), "abc");
  EXPECT_EQ(fake.closed, std::vector<int>{first});
  EXPECT_EQ(file.mode, TextFile::Mode::Input);
  long double v = 0;
  ReadReal(file, v);
  EXPECT_EQ(v, 5.0L);
  EXPECT_EQ(PendingIOResult(), 0);
}

TEST_F(TextFileOpening, EmptyNameUsesTheStandardHandles) {
  fake.kind = OsFiles::Kind::CharDevice;
  TextFile out;
  Assign(out, "");
  OpenWrite(out);
  EXPECT_TRUE(out.standardHandle);
  EXPECT_EQ(out.handle, 1);
  WriteText(out, "x");
  EndStatement(out);
  EXPECT_EQ(fake.writes, std::vector<std::string>{"x"});
  CloseFile(out);

  fake.input = "3";
  TextFile in;
  Assign(in, "");
  OpenRead(in);
  EXPECT_EQ(in.handle, 0);
  long double v = 0;
  ReadReal(in, v);
  EXPECT_EQ(v, 3.0L);
  CloseFile(in);
  EXPECT_TRUE(fake.closed.empty());
  EXPECT_EQ(PendingIOResult(), 0);
}

TEST_F(TextFileOpening, AssignKeepsTheWholeName) {
  // A name cut short once made two jobs in a deep folder write one file.
  TextFile file;
  Assign(file, std::string(300, 'n'));
  EXPECT_EQ(file.name, std::string(300, 'n'));
}

TEST(CheckIO, RaisesThePendingCodeOnceWithItsMessage) {
  struct Case {
    int code;
    const char* message;
  };
  const Case cases[] = {
      {2, "Fichier introuvable"},
      {3, "Nom de fichier incorrect"},
      {4, "Trop de fichiers ouverts"},
      {5, "Accès au fichier refusé"},
      {100, "Lecture au-delà de la fin de fichier"},
      {101, "Disque plein"},
      {106, "Saisie numérique incorrecte"},
      {32, "Erreur E/S 32"},
      {28, "Erreur E/S 28"},
      {1117, "Erreur E/S 1117"},
  };
  for (const Case& c : cases) {
    SetPendingIOResult(c.code);
    EXPECT_EQ(RaisedIOError(), std::to_string(c.code) + " " + c.message);
    EXPECT_EQ(RaisedIOError(), "none");
  }
}

TEST(CheckIO, MathErrorMessages) {
  EXPECT_STREQ(EInvalidOp().what(), "Opération en virgule flottante incorrecte");
  EXPECT_STREQ(EZeroDivide().what(), "Division par zéro en virgule flottante");
  EXPECT_STREQ(EOverflow().what(), "Débordement en virgule flottante");
}

// ---------------------------------------------------------------------------
// Faults

TEST_F(TextFileFaults, FullDeviceReportsNoSpaceAtTheFlush) {
  SetOsFiles(nullptr);
  TextFile file;
  Assign(file, "/dev/full");
  OpenWrite(file);
  ASSERT_EQ(PendingIOResult(), 0);
  ASSERT_EQ(file.device, TextFile::Device::CharDevice);
  WriteText(file, "0.5");
  EXPECT_EQ(PendingIOResult(), 0);
  EndLine(file);
  EXPECT_EQ(RaisedIOError(), "28 Erreur E/S 28");
  CloseFile(file);  // the final write fails again: the file stays open
  EXPECT_EQ(PendingIOResult(), 28);
  EXPECT_EQ(file.mode, TextFile::Mode::Output);
  EXPECT_EQ(file.bufferPosition, 5u);
  ReleaseFile(file);
  EXPECT_EQ(file.mode, TextFile::Mode::Closed);
  EXPECT_EQ(PendingIOResult(), 28);
}

TEST_F(TextFileFaults, FailedWriteKeepsTheBufferForClose) {
  fake.failWriteCall = 1;
  TextFile file;
  OpenOutput(file);
  std::string text(200, 'y');
  text[0] = 'a';
  WriteText(file, text);
  EXPECT_EQ(PendingIOResult(), 28);
  EXPECT_EQ(file.bufferPosition, 128u);  // the rest of that write was abandoned
  EXPECT_TRUE(fake.writes.empty());
  SetPendingIOResult(0);
  CloseFile(file);
  EXPECT_EQ(PendingIOResult(), 0);
  EXPECT_EQ(fake.Written(), text.substr(0, 128));
  EXPECT_EQ(file.mode, TextFile::Mode::Closed);
}

TEST_F(TextFileFaults, LaterFailureReplacesAnEarlierCode) {
  fake.failWriteCall = 2;
  fake.writeCode = 1117;
  TextFile file;
  OpenOutput(file);
  SetPendingIOResult(106);
  WriteText(file, std::string(128, 'a'));  // first write succeeds: the code stays
  EXPECT_EQ(PendingIOResult(), 106);
  WriteText(file, std::string(130, 'b'));  // second write fails
  EXPECT_EQ(PendingIOResult(), 1117);
  EXPECT_EQ(file.bufferPosition, 128u);
}

TEST_F(TextFileFaults, FailedCloseStillClosesAndStoresTheCode) {
  fake.closeCode = 1117;
  TextFile file;
  OpenOutput(file);
  WriteText(file, "z");
  CloseFile(file);
  EXPECT_EQ(file.mode, TextFile::Mode::Closed);
  EXPECT_EQ(PendingIOResult(), 1117);
  EXPECT_EQ(fake.Written(), "z");
}

TEST_F(TextFileFaults, UnknownKindIsRefusedForWriting) {
  fake.kind = OsFiles::Kind::Unknown;
  TextFile file;
  OpenOutput(file);
  EXPECT_EQ(PendingIOResult(), 105);
  EXPECT_EQ(file.mode, TextFile::Mode::Closed);
  EXPECT_EQ(fake.closed, std::vector<int>{100});
}

TEST_F(TextFileFaults, ReadFailureStoresTheCodeAndEndsTheData) {
  fake.readCode = 1117;
  TextFile file;
  Assign(file, "in.txt");
  OpenRead(file);
  long double v = -1;
  ReadReal(file, v);
  EXPECT_EQ(v, 0.0L);
  EXPECT_EQ(PendingIOResult(), 1117);
  EXPECT_TRUE(AtEnd(file));
}

TEST_F(TextFileFaults, ReleaseFileClosesWithoutDisturbingThePendingCode) {
  fake.failWriteCall = -1;
  TextFile file;
  OpenOutput(file);
  WriteText(file, "unwritable");
  SetPendingIOResult(106);
  ReleaseFile(file);
  EXPECT_EQ(file.mode, TextFile::Mode::Closed);
  EXPECT_EQ(fake.closed, std::vector<int>{100});
  EXPECT_EQ(PendingIOResult(), 106);
  ReleaseFile(file);  // a closed file: nothing happens
  EXPECT_EQ(PendingIOResult(), 106);
}

TEST_F(TextFileFaults, DestroyingAnOpenFileReleasesItWithoutWriting) {
  {
    TextFile file;
    OpenOutput(file);
    WriteText(file, "lost");
  }
  EXPECT_EQ(fake.closed, std::vector<int>{100});
  EXPECT_TRUE(fake.writes.empty());
}

}  // namespace
}  // namespace dw
