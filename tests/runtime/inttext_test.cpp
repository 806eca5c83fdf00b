// The one seed syntax of every front end: the texts the window once took and
// `run --seed` refused are refused everywhere.
#include "runtime/inttext.h"

#include <gtest/gtest.h>

namespace dw {
namespace {

TEST(ParseSeed, TakesOneToTenDigitsWithinThirtyTwoBits) {
  struct Case {
    const char* text;
    std::optional<uint32_t> seed;
  };
  for (Case c : {Case{"0", 0u}, {"7", 7u}, {"0000000001", 1u}, {"4294967295", 4294967295u},
                 {"4294967296", std::nullopt}, {"00000000001", std::nullopt},
                 {" 7", std::nullopt}, {"7 ", std::nullopt}, {"+7", std::nullopt},
                 {"-1", std::nullopt}, {"0x10", std::nullopt}, {"", std::nullopt},
                 {"9999999999", std::nullopt}})
    EXPECT_EQ(ParseSeed(c.text), c.seed) << '"' << c.text << '"';
}

}  // namespace
}  // namespace dw
