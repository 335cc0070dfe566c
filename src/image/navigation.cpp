// Sector navigation. The one-sector steps keep the cursor's place within the sector, so
// a step into a partly filled last sector may leave it past the last byte.
#include "image/navigation.h"

#include <array>
#include <limits>

#include "control/keys.h"
#include "image/state.h"
#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/sector_view.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

constexpr std::size_t NUMBER_ANSWER_BYTES = 128;

// The value of a digit in base 10 or 16 (either case), or -1.
int digit_value(std::uint8_t c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Shows a number prompt on row 19 and reads its whole answer line in line mode; returns
// in key mode, so that nothing of the line is ever read as a command.
NumberAnswer ask_number(const char* prompt, int answer_col, std::int32_t& value) {
    screen::begin_prompt(prompt, answer_col);
    std::array<std::uint8_t, NUMBER_ANSWER_BYTES> line;
    std::int32_t length = 0;
    LineRead read = read_answer(line, length);
    screen::end_prompt();
    screen::home_message();
    terminal::key_mode();
    if (read == LineRead::too_long) return NumberAnswer::not_a_number;
    return parse_number(std::span(line).first(static_cast<std::size_t>(length)), value);
}

void move_to(std::int32_t sector, std::int32_t offset) {
    editor.current_sector = sector;
    editor.cursor_offset = offset;
}

}  // namespace

void go_to_start() {
    move_to(0, 0);
    screen::show_message("At begining of data");
    screen::draw_sector();
}

void go_to_end() {
    move_to(editor.last_sector, editor.last_sector * SECTOR_BYTES);
    screen::show_message("At end of data");
    screen::draw_sector();
}

void previous_sector() {
    if (editor.current_sector <= 0) return screen::show_message("Already at begining of data");
    move_to(editor.current_sector - 1, editor.cursor_offset - SECTOR_BYTES);
    screen::show_message("Moving backward one block");
    screen::draw_sector();
}

void next_sector() {
    if (editor.current_sector >= editor.last_sector) {
        return screen::show_message("Already at end of data");
    }
    move_to(editor.current_sector + 1, editor.cursor_offset + SECTOR_BYTES);
    screen::show_message("Moving forward one block");
    screen::draw_sector();
}

void goto_sector() {
    if (!editor.file_loaded) return screen::show_message("Must load a file first");
    std::int32_t n = 0;
    NumberAnswer answer = ask_number("Enter sector to goto:", screen::SECTOR_ANSWER_COL, n);
    if (answer == NumberAnswer::not_a_number) return screen::show_message("Not a valid number");
    if (answer == NumberAnswer::out_of_range || n < 1 || n - 1 > editor.last_sector) {
        return screen::show_message("Sector out of range");
    }
    move_to(n - 1, (n - 1) * SECTOR_BYTES);
    screen::draw_sector();
    screen::show_message("At requested sector");
}

void jump_to_byte() {
    if (!editor.file_loaded) return screen::show_message("Must load a file first");
    std::int32_t n = 0;
    NumberAnswer answer = ask_number("Enter byte to jump to:", screen::BYTE_ANSWER_COL, n);
    if (answer == NumberAnswer::not_a_number) return screen::show_message("Not a valid number");
    if (answer == NumberAnswer::out_of_range || n < 0 || n > editor.image_size) {
        return screen::show_message("Byte out of range");
    }
    move_to(n / SECTOR_BYTES, n);
    screen::draw_sector();
    screen::show_message("At sector of requested byte");
}

NumberAnswer parse_number(std::span<const std::uint8_t> answer, std::int32_t& value) {
    if (answer.empty()) return NumberAnswer::not_a_number;
    int base = 10;
    bool negative = false;
    std::size_t at = 0;
    if (answer[0] == '$') {
        base = 16;
        at = 1;
    } else if (answer.size() >= 2 && answer[0] == '0' && (answer[1] == 'x' || answer[1] == 'X')) {
        base = 16;
        at = 2;
    } else if (answer[0] == '-' || answer[0] == '+') {
        negative = answer[0] == '-';
        at = 1;
    }
    if (at == answer.size()) return NumberAnswer::not_a_number;
    // Accumulated as a magnitude up to 2^31, the negative range's end; past it the value
    // only stays out of range.
    constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < answer.size(); ++at) {
        int digit = digit_value(answer[at], base);
        if (digit < 0) return NumberAnswer::not_a_number;
        if (magnitude <= LIMIT) magnitude = magnitude * base + digit;
    }
    if (magnitude > LIMIT || (!negative && magnitude == LIMIT)) return NumberAnswer::out_of_range;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return NumberAnswer::number;
}

}  // namespace fenk
