// Fuzzes the search pattern parser over any line that the prompt can accept.
#include <algorithm>
#include <array>
#include <cstring>

#include "fuzz_support.h"
#include "image/state.h"
#include "search/pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, fenk::SEARCH_BUFFER_BYTES> buffer{};
    auto length = static_cast<std::int32_t>(std::min<std::size_t>(size, fenk::MAX_SEARCH_LINE));
    std::memcpy(buffer.data(), data, static_cast<std::size_t>(length));
    std::int32_t pattern_length = -1;
    auto kind = fenk::search::parse_pattern(buffer, length, pattern_length);
    switch (kind) {
        case fenk::search::PatternKind::text:
            fenk_fuzz::check(pattern_length == length, "pattern_length == length");
            fenk_fuzz::check(
                std::memcmp(buffer.data(), data, static_cast<std::size_t>(length)) == 0,
                "std::memcmp(buffer.data(), data, static_cast<std::size_t>(length)) == 0");
            break;
        case fenk::search::PatternKind::hexadecimal:
            fenk_fuzz::check(length >= 1 && data[0] == '$', "length >= 1 && data[0] == '$'");
            fenk_fuzz::check(pattern_length == length / 2, "pattern_length == length / 2");
            break;
        case fenk::search::PatternKind::invalid:
            fenk_fuzz::check(length >= 1 && data[0] == '$', "length >= 1 && data[0] == '$'");
            fenk_fuzz::check(pattern_length == -1, "pattern_length == -1");
            break;
    }
    return 0;
}
