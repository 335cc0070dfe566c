// The sector view: the 240 bytes of the current sector as hex and text panels, with
// the sector and offset counters on the status line.
#pragma once

#include <cstdint>

namespace fenk::screen {

// Repaints the status line and both panels from the editor state, then puts the cursor
// at the message field. Writes nothing at all while no file is loaded.
void draw_sector();

// True when the byte may be shown as itself in the text panel.
bool is_displayable(int byte);

// Writes the offset counter's numbers at row 16, column 61, or both counters when they
// stand away from their home columns.
void draw_offset_numbers();

}  // namespace fenk::screen
