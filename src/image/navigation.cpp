// Sector navigation. The one-sector steps keep the cursor's place within the sector, so
// a step into a partly filled last sector may leave it past the last byte.
#include "image/navigation.h"

#include "control/keys.h"
#include "image/state.h"
#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/sector_view.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

enum class Answer { number, out_of_range, rejected };

// Shows a number prompt on row 19 and reads the answer in line mode. An answer that is
// not a number is refused here, its whole line consumed, and the prompt is over. Any
// other answer leaves the caller to range-check it and call finish_number_prompt().

Answer ask_number(const char* prompt, int answer_col, std::int32_t& value) {
    screen::begin_prompt(prompt, answer_col);
    NumberRead read = read_number(value);
    screen::end_prompt();
    screen::home_message();
    terminal::flush_output();
    if (read == NumberRead::not_a_number) {
        screen::show_message("Not a valid number");
        terminal::key_mode();
        return Answer::rejected;
    }
    return read == NumberRead::ok ? Answer::number : Answer::out_of_range;
}

// Discards the byte after the number (normally the newline) and returns to key mode.
void finish_number_prompt() {
    terminal::next_byte();
    terminal::key_mode();
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
    Answer answer = ask_number("Enter sector to goto:", screen::SECTOR_ANSWER_COL, n);
    if (answer == Answer::rejected) return;
    if (answer == Answer::out_of_range || n < 1 || n - 1 > editor.last_sector) {
        screen::show_message("Sector out of range");
    } else {
        move_to(n - 1, (n - 1) * SECTOR_BYTES);
        screen::draw_sector();
        screen::show_message("At requested sector");
    }
    finish_number_prompt();
}

void jump_to_byte() {
    if (!editor.file_loaded) return screen::show_message("Must load a file first");
    std::int32_t n = 0;
    Answer answer = ask_number("Enter byte to jump to:", screen::BYTE_ANSWER_COL, n);
    if (answer == Answer::rejected) return;
    if (answer == Answer::out_of_range || n < 0 || n > editor.image_size) {
        screen::show_message("Byte out of range");
    } else {
        move_to(n / SECTOR_BYTES, n);
        screen::draw_sector();
        screen::show_message("At sector of requested byte");
    }
    finish_number_prompt();
}

}  // namespace fenk
