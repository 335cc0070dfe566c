// The fixed part of the editor screen (title, boxes, labels, command menu) and the
// full repaint.
#pragma once

namespace fenk::screen {

// Draws the frame on a freshly cleared screen, then the current sector. Returns in key
// mode, also when called during a prompt.
void draw_frame();
// Clear, frame, sector, file name; leaves the message field empty with the cursor there.
void redraw_screen();

// Set by a reader that waits with a screen state of its own (a prompt, an edit mode's
// cursor): restores that state after the repaint for a continue signal. Null while the
// command loop waits.
inline void (*after_repaint)() = nullptr;

// Shows a prompt in the message field and switches to line mode for its answer, which
// is typed at (19, answer_col), or in the blanked filespec field when answer_col is 0.
// Until end_prompt(), a repaint shows the prompt again and returns to line mode.
void begin_prompt(const char* text, int answer_col, bool home_after_text = true);
void end_prompt();

}  // namespace fenk::screen
