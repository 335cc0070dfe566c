// The byte scan against its definition: boundary cases by table, block-boundary placements, and a
// randomized comparison with a naive scan. Images are exact-size heap buffers so that the sanitizer
// build catches any read past either end.
#include "search/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_view_literals;
using fenk::search::scan_backward;
using fenk::search::scan_forward;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Offsets p where the pattern fully fits and matches, by the definition.
std::vector<bool> naive_matches(const Bytes& image, const Bytes& pattern) {
    std::vector<bool> at(image.size() + 1, false);
    for (std::size_t p = 0; p + pattern.size() <= image.size(); ++p)
        at[p] = std::equal(pattern.begin(), pattern.end(),
                           image.begin() + static_cast<std::ptrdiff_t>(p));
    return at;
}

struct Case {
    std::string_view image;
    std::string_view pattern;
    std::int32_t position;  // `first` forward, `last` backward
    std::int32_t forward;   // expected scan_forward
    std::int32_t backward;  // expected scan_backward
};

const Case boundary_cases[] = {
    {"abcab"sv, "ab"sv, 0, 0, 0},   // first/last at the start
    {"abcab"sv, "ab"sv, 1, 3, 0},   // first just past a match
    {"abcab"sv, "ab"sv, 5, -1, 3},  // first/last at the image end
    {"xxab"sv, "ab"sv, 2, 2, 2},    // match touching the image end
    {"xxab"sv, "ab"sv, 3, -1, 2},   // last past the final fitting offset
    {"xxa"sv, "ab"sv, 0, -1, -1},   // partial match cut by the image end
    {"abc"sv, "abc"sv, 0, 0, 0},    // pattern as long as the image
    {"abc"sv, "abc"sv, 3, -1, 0},
    {"ab"sv, "abc"sv, 0, -1, -1},  // pattern longer than the image
    {"ab"sv, "abc"sv, 2, -1, -1},
    {"abc"sv, ""sv, 0, 0, 0},     // empty pattern matches at the position
    {"abc"sv, ""sv, 3, 3, 3},     // ... also at the image end
    {""sv, ""sv, 0, 0, 0},        // empty image, empty pattern
    {""sv, "a"sv, 0, -1, -1},     // empty image
    {"abcb"sv, "b"sv, 0, 1, -1},  // single byte
    {"abcb"sv, "b"sv, 4, -1, 3},
    {"abcb"sv, "b"sv, 2, 3, 1},
    {"a\0\0b\0\0"sv, "\0\0"sv, 2, 4, 1},  // zeros count as bytes
    {"\0\0\0\0\0\1"sv, "\0\0\0\1"sv, 2, 2, 2},
    {"\0\0\0\0\1\0\0"sv, "\0\0\1\0"sv, 1, 2, -1},
    {"\0\0\0\0\1\0\0"sv, "\0\0\1\0"sv, 2, 2, 2},
    {"\0\0\0\0\1\0\0"sv, "\0\0\1\0"sv, 3, -1, 2},
    {"\0\0\0\0"sv, "\0\0\1\0"sv, 0, -1, -1},
    {"aaaa"sv, "aa"sv, 0, 0, 0},  // overlapping matches
    {"aaaa"sv, "aa"sv, 1, 1, 1},
    {"aaaa"sv, "aa"sv, 3, -1, 2},
    {"aaaa"sv, "aa"sv, 4, -1, 2},
    {"aab"sv, "ab"sv, 1, 1, 1},  // a false start right before the match
};

TEST(Scan, BoundaryCases) {
    for (const Case& c : boundary_cases) {
        const Bytes image = bytes(c.image);
        const Bytes pattern = bytes(c.pattern);
        SCOPED_TRACE(testing::Message() << "image size " << image.size() << ", pattern size "
                                        << pattern.size() << ", position " << c.position);
        EXPECT_EQ(scan_forward(image, c.position, pattern), c.forward);
        EXPECT_EQ(scan_backward(image, c.position, pattern), c.backward);
    }
}

TEST(Scan, ForwardFromPastTheEndFindsNothing) {
    EXPECT_EQ(scan_forward(bytes("abc"), 4, bytes("")), -1);
    EXPECT_EQ(scan_forward(bytes("abc"), 9, bytes("c")), -1);
}

// Patterns planted across the 16-, 32- and 64-byte steps of a vectorized scan, and at every
// distance from the image end, in zero images (the pattern's bytes are non-zero).
TEST(Scan, MatchesAcrossBlockBoundariesAndAtTheEnd) {
    for (const std::size_t length : {2u, 3u, 5u, 17u, 40u}) {
        Bytes pattern(length);
        for (std::size_t i = 0; i < length; ++i) pattern[i] = static_cast<std::uint8_t>(i + 1);
        auto check = [&](std::size_t size, std::size_t offset) {
            Bytes image(size, 0);
            std::copy(pattern.begin(), pattern.end(),
                      image.begin() + static_cast<std::ptrdiff_t>(offset));
            const auto at = static_cast<std::int32_t>(offset);
            const auto end = static_cast<std::int32_t>(size);
            SCOPED_TRACE(testing::Message()
                         << "length " << length << ", size " << size << ", offset " << offset);
            EXPECT_EQ(scan_forward(image, 0, pattern), at);
            EXPECT_EQ(scan_forward(image, at + 1, pattern), -1);
            EXPECT_EQ(scan_backward(image, end, pattern), at);
            if (at > 0) {
                EXPECT_EQ(scan_backward(image, at - 1, pattern), -1);
            }
        };
        for (std::size_t block : {16u, 32u, 64u, 128u})
            for (std::size_t offset = block - length; offset <= block; ++offset) check(300, offset);
        for (std::size_t size = length; size <= 200; ++size) check(size, size - length);
    }
}

// Image sizes: mostly small, many next to multiples of the 16- and 64-byte steps.
std::size_t random_size(std::mt19937& rng) {
    std::uniform_int_distribution<int> pick(0, 9);
    if (pick(rng) < 6) return std::uniform_int_distribution<std::size_t>(0, 200)(rng);
    const std::size_t step = pick(rng) < 5 ? 16 : 64;
    const std::size_t multiple = step * std::uniform_int_distribution<std::size_t>(1, 4)(rng);
    return multiple - 1 + std::uniform_int_distribution<std::size_t>(0, 2)(rng);
}

// Half the patterns are cut from the image (so they occur), half are random; a two- or
// three-letter alphabet with zero in it makes partial matches and overlaps frequent.
TEST(Scan, AgreesWithNaiveScanOnRandomImages) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        const int letters = 2 + round % 2;
        std::uniform_int_distribution<int> letter(0, letters - 1);
        Bytes image(random_size(rng));
        for (auto& b : image) b = static_cast<std::uint8_t>(letter(rng));
        Bytes pattern(std::uniform_int_distribution<std::size_t>(0, 9)(rng));
        if (round % 2 == 0 && pattern.size() <= image.size()) {
            const auto start =
                std::uniform_int_distribution<std::size_t>(0, image.size() - pattern.size())(rng);
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(start), pattern.size(),
                        pattern.begin());
        } else {
            for (auto& b : pattern) b = static_cast<std::uint8_t>(letter(rng));
        }
        const std::vector<bool> at = naive_matches(image, pattern);
        const auto size = static_cast<std::int32_t>(image.size());
        SCOPED_TRACE(testing::Message() << "round " << round << ", image size " << size
                                        << ", pattern size " << pattern.size());
        std::int32_t next = -1;  // naive forward answer, built from the end down
        for (std::int32_t first = size; first >= 0; --first) {
            if (at[static_cast<std::size_t>(first)]) next = first;
            ASSERT_EQ(scan_forward(image, first, pattern), next) << "forward from " << first;
        }
        std::int32_t previous = -1;
        for (std::int32_t last = 0; last <= size; ++last) {
            if (at[static_cast<std::size_t>(last)]) previous = last;
            ASSERT_EQ(scan_backward(image, last, pattern), previous) << "backward from " << last;
        }
    }
}

}  // namespace
