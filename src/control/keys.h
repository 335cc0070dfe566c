// Key decoding and line reading, over the terminal layer alone: the command loop, both
// edit modes, the chart, the exit question and every prompt read through these.
#pragma once

#include <cstdint>
#include <span>

namespace fenk {

inline constexpr int KEY_ESC = 27;

// One key: its first byte; after ESC the byte that followed; after ESC [ the final byte.
struct KeyRecord {
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    std::uint8_t final_byte = 0;
};

// Reads one key. A byte after ESC other than [ is pushed back and read again as the
// next key. Ends with set_normal.
void read_key(KeyRecord& key);
// Reads one byte (0..255), then set_normal.
int read_byte();

enum class LineRead { ok, too_long, zero_byte };

// Reads one blank-delimited word, skipping white space and empty lines before it; the
// byte that ends it stays unread. A word that does not fit `buffer` with its
// terminator is consumed whole and refused.
LineRead read_word(std::span<char> buffer);

enum class NumberRead { ok, out_of_range, not_a_number };

// Reads a decimal integer: white space (newlines included) skipped, an optional sign,
// digits. The byte after the digits stays unread. A number outside the signed 32-bit
// range is consumed whole and reported out of range. When no digit comes, the rest of
// the line is consumed, so that it never reaches the command loop as keys.
NumberRead read_number(std::int32_t& value);

// Reads bytes up to and including the newline. The bytes before the newline go to
// `buffer`; `length` gets their number. A line longer than `buffer` is consumed whole
// and refused with `length` unset.
LineRead read_line(std::span<std::uint8_t> buffer, std::int32_t& length);

}  // namespace fenk
