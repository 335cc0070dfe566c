// The editor screen's frame. It is drawn with newlines and tabs on a cleared screen, so
// it relies on the terminal's tab stops every 8 columns and on the driver's output
// translation, which makes a newline return to column 1 (on in both input modes).
#include "screen/frame.h"

#include <string>

#include "image/state.h"
#include "screen/primitives.h"
#include "screen/sector_view.h"
#include "screen/terminal.h"

namespace fenk::screen {
namespace {

constexpr const char* VERSION = "V1.0";
// 64 columns of credit after " Fenk! " and the version: the reverse stretch is 75.
constexpr const char* CREDIT = "  Hex editor for the raw bytes of one file                      ";
static_assert(std::char_traits<char>::length(CREDIT) == 64);

struct MenuItem {
    const char* key;   // bold
    const char* rest;  // normal video
};

constexpr MenuItem MENU[3][4] = {
    {{"L", "oad           "},
     {" H", "ex edit         "},
     {" G", "oto sector         "},
     {" >", "Forward  search "}},
    {{"S", "ave           "},
     {" A", "sc edit         "},
     {" J", "ump to byte        "},
     {" <", "Backward search "}},
    {{"Q", "uit           "},
     {" U", "ndo!            "},
     {" T", "able               "},
     {" C", "ontinue  search "}},
};

struct Prompt {
    const char* text;
    int answer_col;
    bool home_after_text;
};
Prompt current_prompt{};

void show_current_prompt() {
    terminal::line_mode();
    clear_message();
    terminal::out(current_prompt.text);
    if (current_prompt.home_after_text) home_message();
    if (current_prompt.answer_col) {
        move_cursor(MESSAGE_ROW, current_prompt.answer_col);
    } else {
        open_filespec_field();
    }
}

// After a repaint the prompt stands empty again, so what was typed of the answer before
// it is dropped too: kept, it would still count as the start of the answer although
// the screen no longer shows it and the driver could no longer erase it.
void show_prompt_after_repaint() {
    terminal::discard_typed_input();
    show_current_prompt();
}

// Written byte by byte into the output buffer: a repaint builds no strings.
void out_repeated(char c, int count) {
    for (int i = 0; i < count; ++i) terminal::out_byte(c);
}

// A label inside a line-drawn border, in the ordinary set: some terminals map capital
// letters to graphics too while the line-drawing set is on.
void out_label(const char* label) {
    line_drawing_off();
    terminal::out(label);
    line_drawing_on();
}

void draw_boxes() {
    line_drawing_on();
    terminal::out(" l");
    out_repeated('q', 46);
    terminal::out("k   l");
    out_repeated('q', 22);
    terminal::out("k\n");
    for (int row = 0; row < SECTOR_ROWS; ++row) terminal::out(" x\t\t\t\t\t\tx   x\t\t\t   x\n");
    terminal::out(" m");
    out_repeated('q', 21);
    out_label("HEX");
    out_repeated('q', 22);
    terminal::out("j   m");
    out_repeated('q', 9);
    out_label("ASC");
    out_repeated('q', 10);
    terminal::out("j\n\n");
    line_drawing_off();
}

// A menu border, written in two halves, each in the line-drawing set.
void draw_menu_border(char left, char right, bool newline) {
    line_drawing_on();
    terminal::out_byte(' ');
    terminal::out_byte(left);
    out_repeated('q', 36);
    line_drawing_off();
    line_drawing_on();
    out_repeated('q', 37);
    terminal::out_byte(right);
    if (newline) terminal::out_byte('\n');
    line_drawing_off();
}

void draw_menu() {
    draw_menu_border('l', 'k', true);
    for (const auto& row : MENU) {
        line_drawing_on();
        terminal::out(" x ");
        line_drawing_off();
        for (const auto& item : row) {
            set_bold();
            terminal::out(item.key);
            set_normal();
            terminal::out(item.rest);
        }
        line_drawing_on();
        terminal::out("x\n");
        line_drawing_off();
    }
    draw_menu_border('m', 'j', false);
}

}  // namespace

// Drawn with input in key mode: output translation is on in both modes, so newlines
// still start the next row, and a key typed during the draw is neither echoed over the
// frame nor taken by the driver as erase, stop-output or interrupt (a paste that holds
// Ctrl-L would otherwise lose or change bytes, or freeze the screen on Ctrl-S).
void draw_frame() {
    terminal::key_mode();
    terminal::out(" ");
    set_reverse();
    terminal::out(" Fenk! ");
    terminal::out(VERSION);
    terminal::out(CREDIT);
    terminal::out("\n");
    set_normal();
    draw_boxes();
    terminal::out("   Filespec: \n\n");
    terminal::out("   Messages: \n");
    draw_menu();
    terminal::flush_output();
    draw_sector();
    terminal::key_mode();
}

void redraw_screen() {
    clear_screen();
    draw_frame();
    show_file_name(editor.file_name.data());
}

}  // namespace fenk::screen

namespace fenk::screen {

void begin_prompt(const char* text, int answer_col, bool home_after_text) {
    current_prompt = Prompt{text, answer_col, home_after_text};
    show_current_prompt();
    after_repaint = show_prompt_after_repaint;
}

void end_prompt() { after_repaint = nullptr; }

}  // namespace fenk::screen
