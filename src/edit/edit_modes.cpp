// Hex and text edit modes. The cursor (row, column) always stays in step with
// cursor_offset; the one move that could break that, right from the last cell of a
// sector whose last byte ends the image, is refused. Nothing is ever written at or past
// image_size, and no byte changes without an undo entry.
#include "edit/edit_modes.h"

#include <cctype>

#include "control/keys.h"
#include "edit/journal.h"
#include "image/state.h"
#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/sector_view.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

constexpr int KEY_REDRAW = 12;  // Ctrl-L
constexpr std::int32_t LAST_ROW = SECTOR_ROWS - 1;

// What differs between the two modes besides their keys.
struct Mode {
    const char* label;  // rewritten in bold while the mode runs
    int label_col;
    const char* message;
    std::int32_t first_column;  // the cursor's column range within a row
    std::int32_t last_column;
};

constexpr Mode HEX_MODE{"HEX", screen::HEX_LABEL_COL,
                        "HEX editing mode.  ESC twice returns to command mode", 1, 40};
constexpr Mode ASC_MODE{"ASC", screen::ASC_LABEL_COL,
                        "ASC editing mode.  ESC twice returns to command mode", 0, 19};

struct Cursor {
    const Mode* mode;
    std::int32_t row;     // display row, 0..11
    std::int32_t column;  // hex: digit column 1..40 (odd = high digit); text: 0..19
};

Cursor* active_cursor = nullptr;  // the running mode's cursor, for a repaint's sake

void place_cursor(const Cursor& cursor) {
    int row = screen::PANEL_TOP_ROW + cursor.row;
    if (cursor.mode == &HEX_MODE) {
        int k = cursor.column;
        screen::move_cursor(row, k + 3 + (k - 1) / 8);
    } else {
        screen::move_cursor(row, screen::text_cell_column(cursor.column));
    }
}

void show_label(const Mode& mode, bool bold) {
    screen::move_cursor(screen::LABEL_ROW, mode.label_col);
    if (bold) screen::set_bold();
    terminal::out(mode.label);
    if (bold) screen::set_normal();
}

void announce(const Mode& mode) {
    show_label(mode, true);
    screen::show_message("%s", mode.message);
}

// After a repaint for a signal, as after Ctrl-L: the mode's bold label and message, which
// the repaint wiped, so that the screen does not look like the command loop's; then the
// cursor back on its cell.
void show_active_mode_again() {
    announce(*active_cursor->mode);
    place_cursor(*active_cursor);
}

void page_turn() {
    editor.current_sector = editor.cursor_offset / SECTOR_BYTES;
    screen::set_normal();
    screen::draw_sector();
}

void move_up(Cursor& cursor) {
    if (cursor.row > 0) {
        --cursor.row;
        editor.cursor_offset -= ROW_BYTES;
    } else if (editor.cursor_offset >= 201) {
        editor.cursor_offset -= ROW_BYTES;
        page_turn();
        cursor.row = LAST_ROW;
    }
}

void move_down(Cursor& cursor) {
    if (editor.cursor_offset + ROW_BYTES >= editor.image_size) return;
    editor.cursor_offset += ROW_BYTES;
    if (cursor.row < LAST_ROW) {
        ++cursor.row;
    } else {
        page_turn();
        cursor.row = 0;
    }
}

// Right by one digit (hex) or one byte (text). At the end of row 11 the page turns,
// unless the image ends there: then the move is refused, since the cursor would have
// no place on the page shown.
void move_right(Cursor& cursor) {
    if (editor.cursor_offset >= editor.image_size) return;
    bool hex = cursor.mode == &HEX_MODE;
    bool next_byte = !hex || cursor.column % 2 == 0;
    bool leaves_sector = cursor.row == LAST_ROW && cursor.column == cursor.mode->last_column;
    if (leaves_sector && next_byte && editor.cursor_offset + 1 >= editor.image_size) return;
    if (next_byte) ++editor.cursor_offset;
    ++cursor.column;
    if (leaves_sector) {
        page_turn();
        cursor.row = 0;
        cursor.column = cursor.mode->first_column;
    }
}

void move_left_hex(Cursor& cursor) {
    --cursor.column;
    if (editor.cursor_offset > 0 && cursor.column % 2 == 0) --editor.cursor_offset;
    if (cursor.row == 0 && cursor.column == 0 && editor.cursor_offset >= 201) {
        page_turn();
        cursor.row = LAST_ROW;
        cursor.column = HEX_MODE.last_column;
    }
}

void move_left_text(Cursor& cursor) {
    if (editor.cursor_offset == 0) {
        --cursor.column;
        return;
    }
    --editor.cursor_offset;
    if (cursor.row == 0 && cursor.column == 0 && editor.cursor_offset >= 201) {
        page_turn();
        cursor.row = LAST_ROW;
        cursor.column = ASC_MODE.last_column;
    } else {
        --cursor.column;
    }
}

// Carries a column that went past either end of a row over to the neighbouring row.
void normalise(Cursor& cursor) {
    const Mode& mode = *cursor.mode;
    if (cursor.column < mode.first_column) {
        if (cursor.row > 0) {
            --cursor.row;
            cursor.column = mode.last_column;
        } else {
            cursor.column = mode.first_column;
        }
    } else if (cursor.column > mode.last_column && cursor.row < LAST_ROW) {
        ++cursor.row;
        cursor.column = mode.first_column;
    }
}

// The checks every edit key makes before it writes: false when nothing may be written.
bool may_write() {
    editor.file_modified = true;
    if (editor.cursor_offset >= editor.image_size) return false;
    if (record_edit()) return true;
    screen::show_message("Not enough memory to record the edit: byte left unchanged");
    return false;
}

void enter_digit(Cursor& cursor, int key) {
    if (!may_write()) return;
    char digit = static_cast<char>(std::toupper(key));
    terminal::out_byte(digit);
    int value = digit <= '9' ? digit - '0' : digit - 'A' + 10;
    auto& byte = editor.image.bytes()[static_cast<std::size_t>(editor.cursor_offset)];
    bool high = cursor.column % 2 == 1;
    byte = static_cast<std::uint8_t>(high ? (byte & 0x0F) | (value << 4) : (byte & 0xF0) | value);
    screen::move_cursor(screen::PANEL_TOP_ROW + cursor.row,
                        screen::text_cell_column((cursor.column - 1) / 2));
    terminal::out_byte(screen::is_displayable(byte) ? static_cast<char>(byte) : '-');
    if (cursor.row == LAST_ROW && cursor.column == HEX_MODE.last_column) {
        ++editor.cursor_offset;
        page_turn();
        cursor.row = 0;
        cursor.column = HEX_MODE.first_column;
        return;
    }
    if (!high) ++editor.cursor_offset;
    ++cursor.column;
}

void enter_character(Cursor& cursor, int key) {
    if (!may_write()) return;
    auto byte = static_cast<std::uint8_t>(key);
    editor.image.bytes()[static_cast<std::size_t>(editor.cursor_offset)] = byte;
    terminal::out_byte(screen::is_displayable(byte) ? static_cast<char>(byte) : '-');
    screen::move_cursor(screen::PANEL_TOP_ROW + cursor.row, screen::hex_pair_column(cursor.column));
    screen::print_hex_pair(byte);
    ++editor.cursor_offset;
    if (cursor.row == LAST_ROW && cursor.column == ASC_MODE.last_column) {
        page_turn();
        cursor.row = 0;
        cursor.column = ASC_MODE.first_column;
        return;
    }
    ++cursor.column;
}

bool is_text_edit_key(int key) {
    return (screen::is_displayable(key) || std::iscntrl(key)) && key != KEY_REDRAW &&
           key != KEY_ESC;
}

// Acts on an arrow key; false for any other key that is no byte, which ends the mode.
bool move_by_arrow(Cursor& cursor, Key key) {
    switch (key) {
        case Key::up: move_up(cursor); return true;
        case Key::down: move_down(cursor); return true;
        case Key::right: move_right(cursor); return true;
        case Key::left:
            if (cursor.mode == &HEX_MODE) {
                move_left_hex(cursor);
            } else {
                move_left_text(cursor);
            }
            return true;
        default: return false;
    }
}

// ESC ESC and ESC with a key take that second byte with them, so that it is no command.
// A complete sequence takes nothing more: the next key is a command again.
void leave_mode(const Mode& mode, const KeyRecord& key) {
    if (key.name == Key::escape) read_byte();
    screen::set_normal();
    show_label(mode, false);
    screen::show_message("Returning to command mode");
}

void run_mode(const Mode& mode) {
    if (!editor.file_loaded) return screen::show_message("No file to edit");
    restart_journal();
    announce(mode);
    std::int32_t within = editor.cursor_offset - editor.current_sector * SECTOR_BYTES;
    Cursor cursor{&mode, within / ROW_BYTES, within % ROW_BYTES};
    if (&mode == &HEX_MODE) cursor.column = 2 * cursor.column + 1;
    place_cursor(cursor);
    active_cursor = &cursor;
    screen::after_repaint = show_active_mode_again;
    KeyRecord key;
    for (;;) {
        read_key(key);
        if (key.first == KEY_REDRAW) {
            screen::redraw_screen();
            announce(mode);
        }
        if (key.name == Key::paste) continue;  // the pasted keys are typed into the mode
        if (key.name != Key::byte && !move_by_arrow(cursor, key.name)) break;
        screen::set_bold();
        if (&mode == &HEX_MODE && std::isxdigit(key.first)) enter_digit(cursor, key.first);
        if (&mode == &ASC_MODE && is_text_edit_key(key.first)) enter_character(cursor, key.first);
        normalise(cursor);
        screen::set_normal();
        screen::draw_offset_numbers();
        place_cursor(cursor);
    }
    screen::after_repaint = nullptr;
    active_cursor = nullptr;
    leave_mode(mode, key);
}

}  // namespace

void hex_edit() { run_mode(HEX_MODE); }

void ascii_edit() { run_mode(ASC_MODE); }

}  // namespace fenk
