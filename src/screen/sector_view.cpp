// The sector view. Bytes past the end of the image show as the filler '#'; a '-' in the
// data is bold, so that it differs from the plain '-' of a byte that cannot be shown.
#include "screen/sector_view.h"

#include <cctype>

#include "image/state.h"
#include "screen/primitives.h"
#include "screen/terminal.h"

namespace fenk::screen {
namespace {

void draw_hex_row(std::int32_t first) {
    auto bytes = editor.image.bytes();
    for (std::int32_t c = 0; c < ROW_BYTES; ++c) {
        std::int32_t p = first + c;
        if (p < editor.image_size) {
            print_hex_pair(bytes[static_cast<std::size_t>(p)]);
        } else {
            terminal::out("##");
        }
        if (c % 4 == 3) terminal::out_byte(' ');
    }
}

void draw_text_row(std::int32_t first) {
    auto bytes = editor.image.bytes();
    for (std::int32_t c = 0; c < ROW_BYTES; ++c) {
        std::int32_t p = first + c;
        if (p >= editor.image_size) {
            terminal::out_byte('#');
            continue;
        }
        int byte = bytes[static_cast<std::size_t>(p)];
        if (!is_displayable(byte)) {
            terminal::out_byte('-');
        } else if (byte == '-') {
            set_bold();
            terminal::out_byte('-');
            set_normal();
        } else {
            terminal::out_byte(static_cast<char>(byte));
        }
    }
}

}  // namespace

bool is_displayable(int byte) {
    byte &= 0xFF;
    bool in_range = (byte >= 32 && byte <= 126) || (byte >= 160 && byte <= 254);
    return in_range && std::isprint(byte);
}

void draw_offset_numbers() {
    move_cursor(STATUS_ROW, OFFSET_NUMBERS_COL);
    print("%d/%d       ", editor.cursor_offset, editor.image_size);
}

void draw_sector() {
    if (!editor.file_loaded) return;
    move_cursor(STATUS_ROW, SECTOR_COUNTER_COL);
    print("Sector: %d/%d          ", editor.current_sector + 1, editor.last_sector + 1);
    move_cursor(STATUS_ROW, OFFSET_COUNTER_COL);
    print("Offset: %d/%d       ", editor.cursor_offset, editor.image_size);
    std::int32_t sector_start = editor.current_sector * SECTOR_BYTES;
    for (std::int32_t r = 0; r < SECTOR_ROWS; ++r) {
        std::int32_t first = sector_start + r * ROW_BYTES;
        move_cursor(PANEL_TOP_ROW + r, HEX_PANEL_COL);
        draw_hex_row(first);
        move_cursor(PANEL_TOP_ROW + r, TEXT_PANEL_COL);
        draw_text_row(first);
    }
    home_message();
}

}  // namespace fenk::screen
