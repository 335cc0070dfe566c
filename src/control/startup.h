// Start-up, the signal handlers, and the ways out of the program.
#pragma once

namespace fenk {

// The process entry: checks the command line, prepares the terminal, draws the screen,
// loads the named file and runs the command loop. Never returns.
[[noreturn]] void start_up(int argc, char** argv);
// The Q command: asks first when the image holds unsaved edits.
void quit_editor();
// What happens when standard input ends or fails (the terminal hung up): unsaved edits
// are written to an emergency file, then the program ends in an orderly way.
[[noreturn]] void lost_terminal();
// What happens when an exception escapes to the top: the emergency copy of unsaved
// edits, the terminal restored, one line on standard error, exit status 1.
[[noreturn]] void end_by_error(const char* what);

}  // namespace fenk
