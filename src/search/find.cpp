// The search and its match display. The scan starts next to the cursor, never at it, so
// that repeating a search finds the next match; a match must lie wholly in the image.
#include "search/find.h"

#include "image/state.h"
#include "screen/primitives.h"
#include "screen/sector_view.h"
#include "screen/terminal.h"
#include "search/scan.h"

namespace fenk::search {
namespace {

// The position of the nearest match, or -1.
std::int32_t locate(std::int32_t direction, std::span<const std::uint8_t> pattern) {
    auto image = std::span<const std::uint8_t>(editor.image.bytes());
    std::int64_t start = std::int64_t{editor.cursor_offset} + direction;
    if (start < 0 || start > editor.image_size) return -1;
    auto from = static_cast<std::int32_t>(start);
    return direction > 0 ? scan_forward(image, from, pattern) : scan_backward(image, from, pattern);
}

// Draws the matched bytes, from the cursor's place in one panel, over the cells that
// draw_sector has just painted, up to the end of the sector. `column_of` gives a byte
// column's screen column in the panel, `draw` writes one byte.
template <typename ColumnOf, typename Draw>
void highlight(std::span<const std::uint8_t> pattern, std::int32_t row, std::int32_t c,
               ColumnOf column_of, Draw draw) {
    for (std::int32_t i = 1; i <= static_cast<std::int32_t>(pattern.size()); ++i) {
        draw(pattern[static_cast<std::size_t>(i - 1)], c + i);
        if ((c + i) % ROW_BYTES == 0) {
            ++row;
            screen::move_cursor(screen::PANEL_TOP_ROW + row, column_of(0));
        }
        if (row == SECTOR_ROWS) break;
    }
}

void show_match(std::span<const std::uint8_t> pattern) {
    std::int32_t within = editor.cursor_offset - editor.current_sector * SECTOR_BYTES;
    std::int32_t row = within / ROW_BYTES;
    std::int32_t c = within % ROW_BYTES;
    screen::set_bold();
    screen::move_cursor(screen::PANEL_TOP_ROW + row, screen::hex_pair_column(c));
    if (pattern.empty()) {
        screen::move_cursor(screen::PANEL_TOP_ROW + row, screen::text_cell_column(c));
    } else {
        highlight(pattern, row, c, screen::hex_pair_column, [](std::uint8_t byte, std::int32_t n) {
            screen::print_hex_pair(byte);
            if (n % 4 == 0) terminal::out_byte(' ');
        });
        screen::move_cursor(screen::PANEL_TOP_ROW + row, screen::text_cell_column(c));
        highlight(pattern, row, c, screen::text_cell_column, [](std::uint8_t byte, std::int32_t) {
            terminal::out_byte(screen::is_displayable(byte) ? static_cast<char>(byte) : '-');
        });
    }
    screen::set_normal();
    screen::home_message();
}

}  // namespace

void find_pattern(std::int32_t direction, std::int32_t length) {
    screen::show_progress(direction == 1 ? "Searching forward" : "Searching backward");
    auto pattern =
        std::span<const std::uint8_t>(editor.search_buffer).first(static_cast<std::size_t>(length));
    std::int32_t found = locate(direction, pattern);
    if (found < 0) {
        screen::ring_bell();
        screen::clear_message();
        terminal::out("String not found");
        screen::home_message();
        return;
    }
    screen::show_message("String found");
    editor.current_sector = found / SECTOR_BYTES;
    editor.cursor_offset = found;
    screen::draw_sector();
    show_match(pattern);
}

}  // namespace fenk::search
