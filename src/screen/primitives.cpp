// The control sequences, spelled here and nowhere else, and the message field.
#include "screen/primitives.h"

#include <array>
#include <cstdarg>
#include <string>

#include "screen/terminal.h"

namespace fenk::screen {
namespace {

constexpr char ESC = '\x1b';
const std::string MESSAGE_BLANKS(MESSAGE_WIDTH, ' ');
const std::string FILESPEC_BLANKS(FILESPEC_WIDTH, ' ');

}  // namespace

void move_cursor(int row, int col) { terminal::out_format("%c[%d;%dH", ESC, row, col); }

void clear_screen() { terminal::out("\x1b[H\x1b[2J"); }

void clear_message() {
    move_cursor(MESSAGE_ROW, MESSAGE_COL);
    terminal::out(MESSAGE_BLANKS);
    move_cursor(MESSAGE_ROW, MESSAGE_COL);
}

void home_message() { move_cursor(MESSAGE_ROW, MESSAGE_COL); }

void show_message(const char* format, ...) {
    clear_message();
    va_list args;
    va_start(args, format);
    terminal::out_vformat(format, args);
    va_end(args);
    home_message();
}

void print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    terminal::out_vformat(format, args);
    va_end(args);
}

void set_bold() { terminal::out("\x1b[1m"); }
void set_blink() { terminal::out("\x1b[5m"); }
void set_reverse() { terminal::out("\x1b[7m"); }
void set_normal() { terminal::out("\x1b[0m"); }
// ESC ( 0 then ESC 1; ESC ( B then ESC 2 (an octal escape ends after three digits).
void line_drawing_on() { terminal::out("\033(0\0331"); }
void line_drawing_off() { terminal::out("\033(B\0332"); }
void ring_bell() { terminal::out_byte('\a'); }

void print_hex_pair(unsigned char byte) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    terminal::out_byte(DIGITS[byte >> 4]);
    terminal::out_byte(DIGITS[byte & 0x0F]);
}

void show_progress(const char* word) {
    set_blink();
    clear_message();
    terminal::out(word);
    home_message();
    set_normal();
    terminal::flush_output();
}

const char* printable_name(const char* name) {
    static std::array<char, 256> shown;
    std::size_t length = 0;
    for (; name[length] != '\0' && length + 1 < shown.size(); ++length) {
        auto byte = static_cast<unsigned char>(name[length]);
        bool control = byte < 32 || (byte >= 127 && byte < 160);
        shown[length] = control ? '?' : name[length];
    }
    shown[length] = '\0';
    return shown.data();
}

void show_file_name(const char* name) {
    move_cursor(FILESPEC_ROW, FILESPEC_COL);
    print("%s               ", printable_name(name));
    home_message();
}

void open_filespec_field() {
    move_cursor(FILESPEC_ROW, FILESPEC_COL);
    terminal::out(FILESPEC_BLANKS);
    move_cursor(FILESPEC_ROW, FILESPEC_COL);
}

}  // namespace fenk::screen
