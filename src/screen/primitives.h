// Screen primitives: every control sequence the editor sends, the message field, and
// the one table of fixed screen positions (1-based rows and columns, row first).
#pragma once

namespace fenk::screen {

inline constexpr int MESSAGE_ROW = 19;  // the message field, the cursor's resting place
inline constexpr int MESSAGE_COL = 14;
inline constexpr int MESSAGE_WIDTH = 65;  // columns 14 to 78
inline constexpr int FILESPEC_ROW = 17;   // the file name field
inline constexpr int FILESPEC_COL = 14;
inline constexpr int FILESPEC_WIDTH = 57;  // blanked before a name is typed there
inline constexpr int STATUS_ROW = 16;
inline constexpr int SECTOR_COUNTER_COL = 31;
inline constexpr int OFFSET_COUNTER_COL = 53;
inline constexpr int OFFSET_NUMBERS_COL = 61;  // the offset counter's numbers alone
inline constexpr int LABEL_ROW = 15;
inline constexpr int HEX_LABEL_COL = 24;
inline constexpr int ASC_LABEL_COL = 63;
inline constexpr int PANEL_TOP_ROW = 3;  // display row r is screen row 3 + r
inline constexpr int HEX_PANEL_COL = 4;
inline constexpr int TEXT_PANEL_COL = 55;
inline constexpr int SECTOR_ANSWER_COL = 36;    // after "Enter sector to goto:"
inline constexpr int BYTE_ANSWER_COL = 37;      // after "Enter byte to jump to:"
inline constexpr int QUESTION_ANSWER_COL = 41;  // after "File modified, Ok to exit?" (or load?)
inline constexpr int SEARCH_ANSWER_COL = 53;    // after "Enter string to locate ($num for hex):"

// Screen column of the first hex digit of byte column c (0..19): a blank follows every
// fourth byte.
constexpr int hex_pair_column(int c) { return HEX_PANEL_COL + 2 * c + c / 4; }
constexpr int text_cell_column(int c) { return TEXT_PANEL_COL + c; }

void move_cursor(int row, int col);
void clear_screen();
void clear_message();
void home_message();
[[gnu::format(printf, 1, 2)]] void show_message(const char* format, ...);
[[gnu::format(printf, 1, 2)]] void print(const char* format, ...);
void set_bold();
void set_blink();
void set_reverse();
void set_normal();
void line_drawing_on();
void line_drawing_off();
void ring_bell();
// The two hex digits of a byte, upper case with a leading 0 ("0A", "FF").
void print_hex_pair(unsigned char byte);
// Shows a blinking progress word in the message field and flushes it to the terminal
// before a long operation starts.
void show_progress(const char* word);
// `name` as it may be shown: a copy in which every control byte (below 32, 127, and 128 to
// 159, which some terminals also obey) is a '?', so that a file name can never move the
// cursor or change the terminal's state. The copy lives until the next call; a name longer
// than a file name may be is cut.
const char* printable_name(const char* name);
// The filespec field: `name` followed by 15 blanks, then the cursor back to the
// message field.
void show_file_name(const char* name);
// Blanks the filespec field and leaves the cursor at its start, where a name is typed.
void open_filespec_field();

}  // namespace fenk::screen
