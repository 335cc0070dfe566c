// Start-up, signals and shutdown. The handlers only record that a signal came, and the
// signals are blocked except in the wait for input, which serves them: the repaint for
// the continue and window-size signals, the orderly ending for the terminating ones, so
// that a load or save under way always completes first. The interrupt, quit, hang-up,
// terminal-stop and file-size signals are made harmless, so that a slip of the finger at
// a prompt or a save past the file-size limit cannot kill the editor and lose the image.
#include "control/startup.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <csignal>
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

constexpr int NEEDED_ROWS = 24;
constexpr int NEEDED_COLUMNS = 80;

// The signals that end the editor the way a lost terminal does, with the names that the
// line on standard error gives them.
struct EndingSignal {
    int number;
    const char* name;
};
constexpr EndingSignal ENDING_SIGNALS[] = {
    {SIGTERM, "SIGTERM"},     {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"}, {SIGALRM, "SIGALRM"},
    {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGXCPU, "SIGXCPU"}, {SIGPIPE, "SIGPIPE"}};
// Every signal served from the wait for input: the ending ones and the two repaints.
constexpr int HELD_SIGNALS[] = {SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                                SIGPROF, SIGXCPU, SIGPIPE, SIGCONT, SIGWINCH};

bool screen_open = false;  // between initscr() and close_screen()

void ignore_signal(int) {}

void on_repaint_signal(int) { terminal::note_repaint_signal(); }

void on_ending_signal(int signal_number) { terminal::note_ending_signal(signal_number); }

// BSD semantics: the handler stays installed, its signal is held while it runs, and an
// interrupted read resumes.
void install(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal_number, &action, nullptr);
}

// Handlers for every signal the editor deals with, all installed before initscr(), so
// that the curses library installs none of its own (its terminate handler would end the
// process without the emergency copy).
void install_handlers() {
    for (int signal_number : {SIGINT, SIGHUP, SIGTSTP, SIGQUIT, SIGXFSZ}) {
        install(signal_number, ignore_signal);
    }
    install(SIGCONT, on_repaint_signal);
    install(SIGWINCH, on_repaint_signal);
    for (const EndingSignal& ending : ENDING_SIGNALS) install(ending.number, on_ending_signal);
    terminal::hold_signals(HELD_SIGNALS);
}

// The repaint for a continue or window-size signal, run from the wait for input.
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
    int rows = 0;
    int columns = 0;
    if (terminal::size_known(rows, columns) && (rows < NEEDED_ROWS || columns < NEEDED_COLUMNS)) {
        std::fprintf(stderr,
                     "fenk: the terminal has %d rows and %d columns; at least %d rows and %d "
                     "columns are needed\n",
                     rows, columns, NEEDED_ROWS, NEEDED_COLUMNS);
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
    screen_open = false;
}

enum class Unsaved { none, copied, lost };

// Unsaved edits go to the emergency copy, whose name `copy` gets.
Unsaved write_copy(const char*& copy) {
    copy = nullptr;
    if (!editor.file_modified) return Unsaved::none;
    copy = save_emergency_copy();
    return copy ? Unsaved::copied : Unsaved::lost;
}

// The start of every ending the user did not ask for: the copy, then the screen closed.
Unsaved close_with_copy(const char*& copy) {
    Unsaved outcome = write_copy(copy);
    close_screen();
    return outcome;
}

// The one line on standard error, after the screen is closed, so that it stays visible.
void report_ending(const char* cause, Unsaved outcome, const char* copy) {
    switch (outcome) {
        case Unsaved::none: std::fprintf(stderr, "fenk: %s; nothing was unsaved\n", cause); break;
        case Unsaved::copied:
            std::fprintf(stderr, "fenk: %s; unsaved edits written to %s\n", cause,
                         screen::printable_name(copy));
            break;
        case Unsaved::lost:
            std::fprintf(stderr, "fenk: %s; the unsaved edits could not be written\n", cause);
            break;
    }
}

const char* signal_name(int signal_number) {
    for (const EndingSignal& ending : ENDING_SIGNALS) {
        if (ending.number == signal_number) return ending.name;
    }
    return "a signal";
}

// Ends the process by the signal itself, so that its parent sees why it ended.
[[noreturn]] void raise_with_default_action(int signal_number) {
    install(signal_number, SIG_DFL);
    std::raise(signal_number);  // still blocked: it stays pending until the unblock
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal_number);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::_Exit(128 + signal_number);  // only if the default action does not end the process
}

// A terminating signal, served from the wait for input.
[[noreturn]] void end_by_signal(int signal_number) {
    const char* copy = nullptr;
    Unsaved outcome = close_with_copy(copy);
    std::array<char, 32> cause{};
    std::snprintf(cause.data(), cause.size(), "%s received", signal_name(signal_number));
    report_ending(cause.data(), outcome, copy);
    raise_with_default_action(signal_number);
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
    install_handlers();
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [filename]\n", argv[0]);
        std::exit(0);
    }
    if (!terminal_usable()) std::exit(1);
    terminal::save_modes();
    terminal::set_hooks(repaint_after_continue, lost_terminal);
    terminal::set_ending_signal_hook(end_by_signal);
    terminal::start_curses();
    screen_open = true;
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
    if (!editor.file_modified) {
        screen::clear_message();
    } else if (!ask_to_go_on("File modified, Ok to exit?")) {
        return;
    }
    exit_editor();
}

void lost_terminal() {
    const char* copy = nullptr;
    Unsaved outcome = close_with_copy(copy);
    if (outcome != Unsaved::none) report_ending("input ended", outcome, copy);
    std::exit(outcome == Unsaved::lost ? 1 : 0);
}

void end_by_error(const char* what) {
    std::array<char, 160> cause{};
    std::snprintf(cause.data(), cause.size(), "internal error (%s)", what);
    const char* copy = nullptr;
    Unsaved outcome = write_copy(copy);
    if (screen_open) close_screen();  // before start-up opened it, the terminal is untouched
    report_ending(cause.data(), outcome, copy);
    std::exit(1);
}

}  // namespace fenk
