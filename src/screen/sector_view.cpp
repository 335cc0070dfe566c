// The sector view. Bytes past the end of the image show as the filler '#'; a '-' in the
// data is bold, so that it differs from the plain '-' of a byte that cannot be shown.
// The two counters of the status line keep their home columns while they fit there;
// for larger images they move left so that neither runs into the other nor past the
// last column.
#include "screen/sector_view.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

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

constexpr int LAST_COLUMN = 80;
constexpr int SECTOR_BLANKS = 10;  // after the sector counter at its home column
constexpr int OFFSET_BLANKS = 7;   // after the offset counter at its home column
constexpr int LABEL_LENGTH = 8;    // "Sector: " and "Offset: "
// The longest counter that still fits at its home column with its blanks.
constexpr int HOME_LENGTH = OFFSET_COUNTER_COL - SECTOR_COUNTER_COL - 1;
static_assert(OFFSET_COUNTER_COL + HOME_LENGTH + OFFSET_BLANKS - 1 <= LAST_COLUMN);
static_assert(OFFSET_NUMBERS_COL == OFFSET_COUNTER_COL + LABEL_LENGTH);

// Column of the leftmost counter text drawn away from the home columns since the counters
// were last drawn at home; 0 while they are at home. Such text is blanked when the
// counters move back.
int moved_from = 0;

struct CounterText {
    std::array<char, 32> text{};
    int length = 0;
};

CounterText counter(const char* label, std::int32_t value, std::int32_t total) {
    CounterText c;
    c.length = std::snprintf(c.text.data(), c.text.size(), "%s: %d/%d", label, value, total);
    return c;
}

void out_blanks(int count) {
    for (int i = 0; i < count; ++i) terminal::out_byte(' ');
}

// Away from home: the offset counter ends at the last column at most, the sector counter
// ends two columns before it, and every other cell from the leftmost counter text ever
// drawn there up to the last column is blanked.
void draw_moved_counters(const CounterText& sector, const CounterText& offset) {
    int offset_col = std::min(OFFSET_COUNTER_COL, LAST_COLUMN + 1 - offset.length);
    int sector_col = std::min(SECTOR_COUNTER_COL, offset_col - 1 - sector.length);
    int from = moved_from == 0 ? sector_col : std::min(moved_from, sector_col);
    move_cursor(STATUS_ROW, from);
    out_blanks(sector_col - from);
    terminal::out({sector.text.data(), static_cast<std::size_t>(sector.length)});
    out_blanks(offset_col - sector_col - sector.length);
    terminal::out({offset.text.data(), static_cast<std::size_t>(offset.length)});
    out_blanks(LAST_COLUMN + 1 - offset_col - offset.length);
    bool home = sector_col == SECTOR_COUNTER_COL && offset_col == OFFSET_COUNTER_COL;
    moved_from = home ? 0 : sector_col;
}

// The sector and offset counters of row 16; at home, exactly as they have always been
// written.
void draw_counters() {
    CounterText sector = counter("Sector", editor.current_sector + 1, editor.last_sector + 1);
    CounterText offset = counter("Offset", editor.cursor_offset, editor.image_size);
    if (moved_from != 0 || sector.length > HOME_LENGTH || offset.length > HOME_LENGTH) {
        return draw_moved_counters(sector, offset);
    }
    move_cursor(STATUS_ROW, SECTOR_COUNTER_COL);
    terminal::out({sector.text.data(), static_cast<std::size_t>(sector.length)});
    out_blanks(SECTOR_BLANKS);
    move_cursor(STATUS_ROW, OFFSET_COUNTER_COL);
    terminal::out({offset.text.data(), static_cast<std::size_t>(offset.length)});
    out_blanks(OFFSET_BLANKS);
}

}  // namespace

bool is_displayable(int byte) {
    byte &= 0xFF;
    bool in_range = (byte >= 32 && byte <= 126) || (byte >= 160 && byte <= 254);
    return in_range && std::isprint(byte);
}

void draw_offset_numbers() {
    CounterText offset = counter("Offset", editor.cursor_offset, editor.image_size);
    if (moved_from != 0 || offset.length > HOME_LENGTH) return draw_counters();
    move_cursor(STATUS_ROW, OFFSET_NUMBERS_COL);
    terminal::out({offset.text.data() + LABEL_LENGTH,
                   static_cast<std::size_t>(offset.length - LABEL_LENGTH)});
    out_blanks(OFFSET_BLANKS);
}

void draw_sector() {
    if (!editor.file_loaded) return;
    draw_counters();
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
