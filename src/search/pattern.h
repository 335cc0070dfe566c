// Search pattern entry: the < and > prompts, the conversion of a "$" hex line, and the
// C command that repeats the last search.
#pragma once

#include <cstdint>
#include <span>

namespace fenk::search {

// The command loop's two search variables, kept from one command to the next.
struct SearchVariables {
    std::int32_t search_direction = 0;  // 0 until a search ran; then 1 forward, -1 backward
    std::int32_t search_length = 0;     // bytes of the current pattern
};

enum class PatternKind { text, hexadecimal, invalid };

// Turns a typed line (line_length bytes at the start of `buffer`) into a pattern at the
// start of `buffer`: the line itself, or for a line that starts with "$" the bytes its
// hex digits spell, paired from the right (so "$414" gives 04 14). `pattern_length`
// gets the pattern's length unless the outcome is invalid.
PatternKind parse_pattern(std::span<std::uint8_t> buffer, std::int32_t line_length,
                          std::int32_t& pattern_length);

void search_prompt(std::int32_t direction, SearchVariables& search);
void continue_search(const SearchVariables& search);

}  // namespace fenk::search
