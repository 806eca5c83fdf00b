#include "runtime/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "tests/support/files.h"

namespace dw {
namespace {

TEST(JsonString, EscapesQuotesBackslashesAndControls) {
  struct Case {
    std::string text, json;
  };
  for (const Case& c : {Case{"plain", "\"plain\""}, Case{"a\"b", "\"a\\\"b\""},
                        Case{"C:\\runs\\a.txt", "\"C:\\\\runs\\\\a.txt\""},
                        Case{"l1\r\nl2\t", "\"l1\\r\\nl2\\t\""},
                        Case{std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
                        Case{"Débordement", "\"Débordement\""}})
    EXPECT_EQ(JsonString(c.text), c.json);
}

TEST(JsonWriter, NestsAndSeparates) {
  JsonWriter json;
  json.BeginObject();
  json.Key("a");
  json.BeginArray();
  json.Unsigned(1);
  json.Integer(-2);
  json.BeginObject();
  json.EndObject();
  json.EndArray();
  json.Key("b");
  json.Null();
  json.Key("c");
  json.Bool(false);
  json.EndObject();
  EXPECT_EQ(json.Text(), "{\n  \"a\": [\n    1,\n    -2,\n    {}\n  ],\n  \"b\": null,\n"
                         "  \"c\": false\n}\n");
}

// Every double survives the trip through the text, read by an independent
// parser: Python's.
TEST(JsonWriter, RealsReadBackExactly) {
  const double values[] = {0.1,    -0.0018642, 1.0 / 3.0,  0.037,   1e-300,
                           5e-324, 1.7976931348623157e308, -0.0, 123456789012345678.0};
  JsonWriter json;
  json.BeginArray();
  for (double v : values) json.Real(v);
  json.Real(std::numeric_limits<double>::infinity());  // not JSON: written as null
  json.EndArray();
  test::ScratchDir dir;
  test::WriteBytes(dir.File("v.json"), json.Text());
  const std::string command = "python3 -c \"import json,sys; print(' '.join(repr(v) for v in "
                              "json.load(open(sys.argv[1]))))\" '" +
                              dir.File("v.json") + "' > '" + dir.File("v.txt") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::istringstream in(test::ReadBytes(dir.File("v.txt")));
  for (double v : values) {
    std::string text;
    in >> text;
    const double back = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(back, v) << text;
    EXPECT_EQ(std::signbit(back), std::signbit(v)) << text;
  }
  std::string last;
  in >> last;
  EXPECT_EQ(last, "None");
}

TEST(ParseJson, ReadsWhatTheWriterWritesAndWholeNumbersExactly) {
  JsonWriter json;
  json.BeginObject();
  json.Key("name");
  json.String("C:\\runs\\a \"b\"\tDébordement");
  json.Key("seed");
  json.Unsigned(4294967295u);
  json.Key("list");
  json.BeginArray();
  json.Real(-0.0);
  json.Null();
  json.Bool(true);
  json.EndArray();
  json.EndObject();
  std::string error;
  const auto value = ParseJson(json.Text(), error);
  ASSERT_TRUE(value) << error;
  EXPECT_EQ(value->Member("name")->text, "C:\\runs\\a \"b\"\tDébordement");
  EXPECT_EQ(value->Member("seed")->Unsigned(), 4294967295u);
  ASSERT_EQ(value->Member("list")->items.size(), 3u);
  EXPECT_EQ(value->Member("list")->items[0].text, "-0.0");
  EXPECT_FALSE(value->Member("list")->items[0].Unsigned());
  EXPECT_EQ(value->Member("list")->items[2].kind, JsonValue::Kind::Bool);
  EXPECT_EQ(value->Member("absent"), nullptr);
  EXPECT_EQ(ParseJson(R"(["\u00e9\ud83d\ude00"])", error)->items[0].text, "é\xF0\x9F\x98\x80");
}

TEST(ParseJson, RefusesWhatIsNotJsonWithTheReasonAndPlace) {
  struct Case {
    std::string text, error;
  };
  for (const Case& c : {Case{"", "the text ends where a value should be at byte 0"},
                        Case{"{\"a\": 1,}", "a member's name expected at byte 8"},
                        Case{"[1 2]", "',' or ']' expected at byte 3"},
                        Case{"{\"a\" 1}", "':' expected at byte 5"},
                        Case{"01", "text after the document at byte 1"},
                        Case{"\"a\nb\"", "a control character in a string at byte 3"},
                        Case{"\"\\ud800\"", "a lone surrogate at byte 7"},
                        Case{std::string(100, '['), "nested too deep at byte 65"},
                        Case{"{} x", "text after the document at byte 3"}}) {
    std::string error;
    EXPECT_FALSE(ParseJson(c.text, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

}  // namespace
}  // namespace dw
