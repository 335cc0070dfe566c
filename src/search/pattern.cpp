// Search pattern entry. A line is read into a scratch buffer and becomes the current
// pattern only when it is accepted, so a refused line never disturbs the pattern that
// the C command repeats.
#include "search/pattern.h"

#include <algorithm>
#include <array>

#include "control/keys.h"
#include "image/state.h"
#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/terminal.h"
#include "search/find.h"

namespace fenk::search {
namespace {

// The value of a hex digit after folding to lower case, or -1.
int hex_value(std::uint8_t c) {
    if (c >= 'A' && c <= 'F') c = static_cast<std::uint8_t>(c - 'A' + 'a');
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void accept_pattern(std::span<const std::uint8_t> pattern, std::int32_t direction,
                    SearchVariables& search) {
    std::copy(pattern.begin(), pattern.end(), editor.search_buffer.begin());
    editor.search_buffer[pattern.size()] = 0;
    search.search_direction = direction;
    search.search_length = static_cast<std::int32_t>(pattern.size());
    find_pattern(direction, search.search_length);
}

}  // namespace

PatternKind parse_pattern(std::span<std::uint8_t> buffer, std::int32_t line_length,
                          std::int32_t& pattern_length) {
    if (line_length == 0 || buffer[0] != '$') {
        pattern_length = line_length;
        return PatternKind::text;
    }
    // The line becomes "0" and the digits; pairs are taken from its right end, so an
    // odd count of digits gets a leading 0 digit.
    buffer[0] = '0';
    auto line = buffer.first(static_cast<std::size_t>(line_length));
    if (!std::all_of(line.begin(), line.end(), [](std::uint8_t c) { return hex_value(c) >= 0; })) {
        return PatternKind::invalid;
    }
    std::size_t digits = line.size() - 1;
    std::size_t bytes = (digits + 1) / 2;
    std::size_t start = line.size() - 2 * bytes;
    // Byte j reads line[start + 2j ..], never left of buffer[j]: converting in place is safe.
    for (std::size_t j = 0; j < bytes; ++j) {
        int high = hex_value(line[start + 2 * j]);
        int low = hex_value(line[start + 2 * j + 1]);
        buffer[j] = static_cast<std::uint8_t>(high * 16 + low);
    }
    pattern_length = static_cast<std::int32_t>(bytes);
    return PatternKind::hexadecimal;
}

void search_prompt(std::int32_t direction, SearchVariables& search) {
    if (!editor.file_loaded) return screen::show_message("Must load a file first");
    std::array<std::uint8_t, SEARCH_BUFFER_BYTES> line{};
    std::int32_t length = 0;
    screen::begin_prompt("Enter string to locate ($num for hex):", screen::SEARCH_ANSWER_COL);
    LineRead read = read_line(std::span(line).first(MAX_SEARCH_LINE), length);
    screen::end_prompt();
    terminal::key_mode();
    if (read == LineRead::too_long) {
        return screen::show_message("Search text too long (%d characters at most)",
                                    MAX_SEARCH_LINE);
    }
    if (line[0] == '$' && length - 1 > MAX_HEX_DIGITS) {
        return screen::show_message("HEX number too long (%d digits at most)", MAX_HEX_DIGITS);
    }
    std::int32_t pattern_length = 0;
    if (parse_pattern(line, length, pattern_length) == PatternKind::invalid) {
        // The direction follows the new entry, but only where a pattern exists to repeat.
        if (search.search_direction != 0) search.search_direction = direction;
        return screen::show_message("Not a valid HEX number");
    }
    accept_pattern(std::span(line).first(static_cast<std::size_t>(pattern_length)), direction,
                   search);
}

void continue_search(const SearchVariables& search) {
    if (search.search_direction == 0) return screen::show_message("No search to continue");
    find_pattern(search.search_direction, search.search_length);
}

}  // namespace fenk::search
