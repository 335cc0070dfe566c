// The terminal layer at the bottom of the program: one output buffer of fixed capacity,
// written to the terminal when the program is about to wait for input or when it fills,
// the input buffer with one byte of push-back, the two input modes, and the wait that
// serves the held signals. It knows nothing of the editor above it; the editor registers
// its hooks.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fenk::terminal {

// Output. Nothing reaches the terminal until flush_output() or until the buffer fills.
// None of these allocates.
void out(std::string_view text);
void out_byte(char byte);
[[gnu::format(printf, 1, 2)]] void out_format(const char* format, ...);
[[gnu::format(printf, 1, 0)]] void out_vformat(const char* format, va_list args);
void flush_output();

// Input: the next byte (0..255), waiting for it if none is buffered. When input ends or
// fails, the end-of-input hook runs; it does not return.
int next_byte();
// Makes `byte` the next byte that next_byte() returns (one byte of push-back).
void push_back(int byte);

// Terminal modes. save_modes() must run before initscr(); it returns false when
// standard input is not a terminal.
bool save_modes();
// True when TERM names a terminal type that the terminal database knows.
bool type_known();
// The terminal's size in rows (height) and columns (width); false when it does not
// report one.
bool size_known(int& height, int& width);
// The curses library's start and end: initscr(), and endwin() followed by the modes
// saved at start, so the terminal always gets its line input and echo back.
void start_curses();
void end_curses();
// Selects the VT100 conformance level, after asking the terminal for its current one
// (waiting at most 100 ms for the answer), which end_curses() puts back. Needs key mode.
void select_vt100_level();
void key_mode();   // raw input, no echo, no signals from keys
void line_mode();  // echo, line editing, Return ends the line with byte 10
// Drops what the terminal holds of input not yet read (a half-typed line).
void discard_typed_input();

// Hooks into the editor above. on_resume runs from the wait for input after a continue
// or window-size signal; on_input_end runs when standard input ends or fails.
void set_hooks(void (*on_resume)(), void (*on_input_end)());
// Runs from the wait for input after a terminating signal, with its number; it does not
// return.
void set_ending_signal_hook(void (*on_ending_signal)(int));
// Called from the signal handlers: record that a continue or window-size signal, or a
// terminating one, came (async-signal-safe).
void note_repaint_signal();
void note_ending_signal(int signal_number);
// Blocks these signals outside the wait for input, so that they are served only there,
// never in the middle of a load, a save or a search; call once after the handlers are
// installed.
void hold_signals(std::span<const int> signal_numbers);

// In-process mode for tests and fuzzing: input comes from `input`, output is kept in
// memory, and mode switches only record the mode.
void use_memory(std::string input);
std::string take_output();
bool in_line_mode();

}  // namespace fenk::terminal
