// Helpers for end-to-end tests of the editor: start it on a file and wait for the
// message field. Rows and columns are 1-based, as on the editor's screen.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "pty_session.h"

namespace fenk_test {

// The text of the message field (row 19 from column 14), trailing blanks trimmed.
std::string message_text(const Session& session);

// The bytes that showing `text` in the message field writes: blank the field, the text, and
// the cursor back at its start.
std::string message_bytes(std::string_view text);

// Waits until the message field holds exactly `text` (trailing blanks aside).
testing::AssertionResult wait_message(Session& session, std::string_view text);

// Presses `key`, waits for `question` with the cursor at its answer place, answers with
// `answer` and Ctrl-C, and waits for Ctrl-C's own message: the loop reads keys again. The
// caller then checks what the answer did (normally "Returning to command mode").
testing::AssertionResult answer_question(Session& session, std::string_view key,
                                         std::string_view question, std::string_view answer);

// What the sector view shows for the 20 bytes of `image` from offset `first`: the hex panel
// row (pairs in groups of four, each group followed by a blank, "##" past the end) and the
// text panel row (printable ASCII as itself, other bytes as '-', '#' past the end).
std::string hex_panel_row(std::string_view image, std::size_t first);
std::string text_panel_row(std::string_view image, std::size_t first);

// Writes `bytes` to `name` in `dir`, starts the editor on it and waits until the first
// sector is shown and the cursor rests at the message field.
Session start_editor(const TempDir& dir, std::string_view bytes, std::string_view name = "f.bin");

// H, then `digits` on the bytes from the current one on, then ESC ESC: waits for the mode's
// message, the cursor on its cell, and the message of the return to command mode.
testing::AssertionResult hex_edit_here(Session& session, std::string_view digits = "7a");

// The editor holds unsaved edits: Q asks its question, and n keeps the editor running.
testing::AssertionResult still_modified(Session& session);

// Starts the editor without a file and waits for "Waiting for command".
Session start_empty_editor(SessionOptions options = {});

}  // namespace fenk_test
