// The conversion of a typed search line into a pattern: text as typed, a "$" line as the
// bytes its hex digits spell, paired from the right, or invalid. The line sits at the start
// of a search-buffer-sized array, as the prompt leaves it.
#include "search/pattern.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/state.h"

namespace {

using namespace std::string_view_literals;
using fenk::search::parse_pattern;
using fenk::search::PatternKind;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t UNSET = -7;  // a length that no outcome produces

struct Outcome {
    PatternKind kind;
    Bytes pattern;  // the first pattern_length bytes of the buffer (empty when invalid)
    std::int32_t length;
};

Outcome parse(std::string_view line) {
    std::array<std::uint8_t, fenk::SEARCH_BUFFER_BYTES> buffer{};
    std::copy(line.begin(), line.end(), buffer.begin());
    std::int32_t length = UNSET;
    PatternKind kind = parse_pattern(buffer, static_cast<std::int32_t>(line.size()), length);
    Bytes pattern;
    if (kind != PatternKind::invalid) {
        pattern.assign(buffer.begin(), buffer.begin() + length);
    }
    return {kind, pattern, length};
}

struct Case {
    std::string_view line;
    PatternKind kind;
    Bytes pattern;
};

TEST(ParsePattern, ConvertsEachKindOfLine) {
    const auto text = PatternKind::text;
    const auto hex = PatternKind::hexadecimal;
    const auto invalid = PatternKind::invalid;
    const Case cases[] = {
        {"abc", text, {0x61, 0x62, 0x63}},
        {"$41ff", hex, {0x41, 0xFF}},
        {"$4a", hex, {0x4A}},
        {"$4A", hex, {0x4A}},
        {"$414", hex, {0x04, 0x14}},
        {"$4", hex, {0x04}},
        {"$", hex, {}},
        {"", text, {}},
        {"a$41", text, {0x61, 0x24, 0x34, 0x31}},
        {"$FF", hex, {0xFF}},
        {"$ff", hex, {0xFF}},
        {"$0aBc", hex, {0x0A, 0xBC}},
        {"$000", hex, {0x00, 0x00}},
        {"ABC", text, {0x41, 0x42, 0x43}},  // case is kept
        {"a\0b"sv, text, {0x61, 0x00, 0x62}},
        {"\0"sv, text, {0x00}},
        {"$4g", invalid, {}},
        {"$41 42", invalid, {}},
        {"$z", invalid, {}},
        {"$ ", invalid, {}},
        {"$ 41", invalid, {}},
        {"$41\0"
         "42"sv,
         invalid,
         {}},
        {"$41\xc1", invalid, {}},  // a byte above 127 is never a digit
        {"$$41", invalid, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
        Outcome got = parse(c.line);
        EXPECT_EQ(got.kind, c.kind);
        if (c.kind == invalid) {
            EXPECT_EQ(got.length, UNSET) << "an invalid line leaves the length alone";
        } else {
            EXPECT_EQ(got.pattern, c.pattern);
            EXPECT_EQ(got.length, static_cast<std::int32_t>(c.pattern.size()));
        }
    }
}

// The longest hex lines: 254 digits make 127 bytes, 253 digits 127 bytes with a leading
// zero half. Converting in place must not disturb digits it has not read yet.
TEST(ParsePattern, LongestHexLinesConvertInPlace) {
    std::string digits;
    Bytes expected;
    for (int i = 0; i < 127; ++i) {
        static constexpr char HEX[] = "0123456789abcdef";
        auto byte = static_cast<std::uint8_t>(i * 37 + 11);
        digits += HEX[byte >> 4];
        digits += HEX[byte & 15];
        expected.push_back(byte);
    }
    Outcome even = parse("$" + digits);
    EXPECT_EQ(even.kind, PatternKind::hexadecimal);
    EXPECT_EQ(even.pattern, expected);

    Outcome odd = parse("$" + digits.substr(1));
    expected[0] &= 0x0F;
    EXPECT_EQ(odd.kind, PatternKind::hexadecimal);
    EXPECT_EQ(odd.pattern, expected);
}

}  // namespace
