// The answer to G and J: decimal with an optional sign, or hex as $1a2b or 0x1A2B; any
// other text is not a number, and only a well-formed number can be out of range.
#include <gtest/gtest.h>

#include <string>

#include "image/navigation.h"

namespace fenk {
namespace {

TEST(ParseNumber, DecimalOrHexAndNothingElse) {
    struct Case {
        std::string answer;  // blanks around it are trimmed before it gets here
        NumberAnswer outcome;
        std::int32_t value;
    };
    const NumberAnswer NUMBER = NumberAnswer::number;
    const NumberAnswer RANGE = NumberAnswer::out_of_range;
    const NumberAnswer JUNK = NumberAnswer::not_a_number;
    const Case cases[] = {
        {"0", NUMBER, 0},
        {"4096", NUMBER, 4096},
        {"007", NUMBER, 7},
        {"+12", NUMBER, 12},
        {"-7", NUMBER, -7},
        {"2147483647", NUMBER, 2147483647},
        {"-2147483648", NUMBER, -2147483647 - 1},
        {"$1a2b", NUMBER, 0x1a2b},
        {"$1A2B", NUMBER, 0x1a2b},
        {"0x1A2B", NUMBER, 0x1a2b},
        {"0X1a2b", NUMBER, 0x1a2b},
        {"$0", NUMBER, 0},
        {"0x7fffffff", NUMBER, 2147483647},
        {"$000000000000000000000010", NUMBER, 16},
        {"2147483648", RANGE, 0},
        {"-2147483649", RANGE, 0},
        {"99999999999999999999999999", RANGE, 0},
        {"0x80000000", RANGE, 0},  // hex is never negative: past 2^31 - 1 it is too large
        {"$ffffffffffffffff", RANGE, 0},
        {"", JUNK, 0},
        {"0x", JUNK, 0},
        {"$", JUNK, 0},
        {"-", JUNK, 0},
        {"+", JUNK, 0},
        {"4,096", JUNK, 0},
        {"5 ha", JUNK, 0},
        {"12abc", JUNK, 0},
        {"4xc", JUNK, 0},
        {"1a2b", JUNK, 0},  // hex needs its $ or 0x
        {"0x1g", JUNK, 0},
        {"$-1", JUNK, 0},
        {"-0x10", JUNK, 0},  // a sign goes with decimal only
        {"+$10", JUNK, 0},
        {"--1", JUNK, 0},
        {"1 2", JUNK, 0},
        {"x10", JUNK, 0},
        {"00x10", JUNK, 0},
        {"1e3", JUNK, 0},
        {std::string("1\0", 2), JUNK, 0},
    };
    for (const Case& c : cases) {
        std::int32_t value = -99;
        auto bytes = reinterpret_cast<const std::uint8_t*>(c.answer.data());
        EXPECT_EQ(parse_number({bytes, c.answer.size()}, value), c.outcome) << c.answer;
        EXPECT_EQ(value, c.outcome == NUMBER ? c.value : -99) << c.answer;
    }
}

}  // namespace
}  // namespace fenk
