// Start-up, signals and shutdown. The handlers only record that a signal came: the
// continue signal's repaint runs from the wait for input, never inside the handler.
// The interrupt, quit, hang-up and terminal-stop signals are made harmless, so that a
// slip of the finger at a prompt cannot kill the editor and lose the image.
#include "control/startup.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "control/command_loop.h"
#include "control/keys.h"
#include "image/file_io.h"
#include "image/state.h"
#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

void ignore_signal(int) {}

void on_continue(int) { terminal::note_continue_signal(); }

// BSD semantics: the handler stays installed, its signal is held while it runs, and an
// interrupted read resumes.
void install(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal_number, &action, nullptr);
}

// The repaint for a continue signal, run from the wait for input.
void repaint_after_continue() {
    screen::redraw_screen();
    if (screen::after_repaint) screen::after_repaint();
}

// Checks, before anything is written, that there is a terminal of a known type; a
// message on standard error otherwise, and the terminal stays as it was.
bool terminal_usable() {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "fenk: standard input and output must be a terminal\n");
        return false;
    }
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0') {
        std::fprintf(stderr, "fenk: TERM is not set; set it to the terminal's type (vt100)\n");
        return false;
    }
    if (!terminal::type_known()) {
        std::fprintf(stderr, "fenk: unknown terminal type '%s'\n", type);
        return false;
    }
    return true;
}

// Clears the screen, releases the image and gives the terminal back its modes.
void close_screen() {
    screen::clear_screen();
    editor.image = ImageBuffer();
    terminal::flush_output();
    terminal::end_curses();
}

void ask_exit_question() {
    terminal::out("File modified, Ok to exit?");
    screen::home_message();
    screen::move_cursor(screen::MESSAGE_ROW, screen::EXIT_ANSWER_COL);
}

// The question again after a repaint for the continue signal, which blanked it.
void show_exit_question() {
    screen::clear_message();
    ask_exit_question();
}

[[noreturn]] void exit_editor() {
    screen::set_bold();
    terminal::out("Exiting...");
    screen::set_normal();
    close_screen();
    std::exit(0);
}

}  // namespace

void start_up(int argc, char** argv) {
    umask(022);
    install(SIGINT, ignore_signal);
    install(SIGHUP, ignore_signal);
    install(SIGTSTP, ignore_signal);
    install(SIGCONT, on_continue);
    install(SIGQUIT, ignore_signal);
    terminal::hold_continue_signal();
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [filename]\n", argv[0]);
        std::exit(0);
    }
    if (!terminal_usable()) std::exit(1);
    terminal::save_modes();
    terminal::set_hooks(repaint_after_continue, lost_terminal);
    terminal::start_curses();
    // Key mode first: the terminal's answers to the level query must neither be echoed
    // nor wait for a Return.
    terminal::key_mode();
    terminal::select_vt100_level();
    screen::line_drawing_off();
    screen::set_normal();
    editor.file_modified = false;
    editor.file_loaded = false;
    screen::clear_screen();
    screen::draw_frame();
    if (argc == 2) {
        load_file(argv[1]);
    } else {
        screen::show_message("Waiting for command");
    }
    terminal::key_mode();
    command_loop();
}

void quit_editor() {
    bool modified = editor.file_modified;
    screen::clear_message();
    if (modified) {
        ask_exit_question();
        screen::after_repaint = show_exit_question;
        int answer = read_byte();
        screen::after_repaint = nullptr;
        screen::clear_message();
        if (answer != 'y') {
            terminal::out("Returning to command mode");
            screen::home_message();
            return;
        }
    }
    exit_editor();
}

void lost_terminal() {
    std::string copy;
    if (editor.file_modified) copy = save_emergency_copy();
    close_screen();
    if (!editor.file_modified) std::exit(0);
    if (copy.empty()) {
        std::fprintf(stderr, "fenk: input ended; the unsaved edits could not be written\n");
        std::exit(1);
    }
    std::fprintf(stderr, "fenk: input ended; unsaved edits written to %s\n", copy.c_str());
    std::exit(0);
}

}  // namespace fenk
