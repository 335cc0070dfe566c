// The chart of the 128 character codes (the T command).
#pragma once

namespace fenk::screen {

// Replaces the editor screen with the chart, waits for the space bar, then rebuilds the
// editor screen and shows "Waiting for command".
void show_char_table();

}  // namespace fenk::screen
