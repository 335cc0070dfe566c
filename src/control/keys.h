// Key decoding, the questions and line reading, over the terminal layer and the message
// field: the command loop, both edit modes, the chart, the questions and every prompt
// read through these.
#pragma once

#include <cstdint>
#include <span>

namespace fenk {

inline constexpr int KEY_ESC = 27;

// What a key is. A plain byte is a key of its own; ESC and the byte after it, when that
// byte starts no sequence, are the escape key (the byte is read again as the next key);
// every complete sequence is one key, named when the loops act on it.
enum class Key : std::uint8_t {
    byte,       // any byte but ESC
    escape,     // ESC and a byte other than [ and O
    up,         // ESC [ A, ESC O A
    down,       // ESC [ B, ESC O B
    right,      // ESC [ C, ESC O C
    left,       // ESC [ D, ESC O D
    page_up,    // ESC [ 5 ~
    page_down,  // ESC [ 6 ~
    home,       // ESC [ H, ESC [ 1 ~, ESC O H
    end,        // ESC [ F, ESC [ 4 ~, ESC O F
    paste,      // ESC [ 200 ~, ESC [ 201 ~: the marks around a paste, no key at all
    other,      // every other sequence, a malformed one included
};

// One key, filled by read_key. Nothing of it is allocated: a sequence of any length
// leaves only its name and the bytes below.
struct KeyRecord {
    Key name = Key::byte;
    std::uint8_t first = 0;       // the first byte read (ESC for every key but a byte)
    std::uint8_t second = 0;      // after ESC: the byte that followed ([ or O in a sequence)
    std::uint8_t final_byte = 0;  // the last byte of a sequence (for a malformed one, the
                                  // byte that broke it); 0 otherwise
    std::int32_t length = 1;      // bytes the key took; the byte after a lone ESC and an
                                  // ESC that broke a sequence not counted
};

// Reads one key: a byte; ESC [ with any parameter bytes (0x30-0x3F), intermediate bytes
// (0x20-0x2F) and one final byte (0x40-0x7E); ESC [ [ and one byte (the Linux console's
// F1 to F5); ESC O and one byte; or ESC and another byte,
// which is pushed back and read again as the next key. A byte outside those ranges after
// ESC [ ends the sequence and is taken with it, except ESC, which ends it and is read
// again as the start of the next key (so also after ESC O). There is no time-out: ESC
// waits for the byte after it however long that takes. Ends with set_normal.
void read_key(KeyRecord& key);
// Reads one byte (0..255), then set_normal.
int read_byte();

// Asks `question` in the message field and reads one whole key in answer: true for a
// lower-case y alone. Any other key shows "Returning to command mode". A repaint for the
// continue signal shows the question again while it waits.
bool ask_to_go_on(const char* question);

enum class LineRead { ok, too_long };

// Reads bytes up to and including the newline (or a carriage return, the Return of a key
// typed ahead). The bytes before it go to `buffer`; `length` gets their number. A line
// longer than `buffer` is consumed whole and refused with `length` unset.
LineRead read_line(std::span<std::uint8_t> buffer, std::int32_t& length);

// Reads the answer to a prompt: whole lines, each up to and including its newline, until
// one holds more than blanks; the answer is that line without its leading and trailing
// blanks, `length` bytes at the start of `buffer`. An answer that does not fit is consumed
// whole and refused with `length` unset.
LineRead read_answer(std::span<std::uint8_t> buffer, std::int32_t& length);

}  // namespace fenk
