// The terminal layer: output buffer, input buffer, input modes and the wait for input.
// Output is collected in a buffer of fixed capacity and written with as few write()
// calls as possible: a paste of a megabyte costs a handful of writes, not one per key.
// Nothing here allocates once the program runs, so no key, message or repaint can fail
// for want of memory.
#include "screen/terminal.h"

#include <curses.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <term.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "screen/replies.h"

namespace fenk::terminal {
namespace {

// Pending output, in order. When it fills, it is written out (or, in memory mode, moved
// to memory_output) before more is added.
constexpr std::size_t OUTPUT_CAPACITY = 64 * 1024;
std::array<char, OUTPUT_CAPACITY> output;
std::size_t output_length = 0;
constexpr std::size_t READ_SIZE = 4096;
std::array<unsigned char, READ_SIZE> raw_input;  // one read, before the replies are taken out
// Room for one read and the bytes the reply filter held back before it.
std::array<unsigned char, READ_SIZE + REPLY_MAX> input_buffer;
std::size_t input_next = 0;  // input_buffer[input_next .. input_end) is unread
std::size_t input_end = 0;
ReplyFilter replies;  // the answers to the start-up queries, kept out of the keys
// How long start-up waits for the answers; a terminal that gives none costs no more.
constexpr auto REPLY_WAIT = std::chrono::milliseconds(100);
int pushed_back = -1;  // the one byte of push-back, or -1

termios saved_modes{};  // the terminal's modes at start
bool modes_saved = false;
bool line_mode_on = false;

bool memory_io = false;  // tests: input from memory_input, output kept
std::string memory_input;
std::size_t memory_next = 0;
std::string memory_output;  // output moved out of the full buffer in memory mode

void (*resume_hook)() = nullptr;
void (*input_end_hook)() = nullptr;
void (*ending_signal_hook)(int) = nullptr;
volatile sig_atomic_t repaint_pending = 0;  // a continue or window-size signal came
volatile sig_atomic_t ending_signal = 0;    // the terminating signal that came, or 0
sigset_t wait_mask;  // the signal mask while waiting: the held signals unblocked

// Writes all of `data`; a short write is not done. Write errors (a terminal that hung
// up) drop the output: there is nobody to show it to.
void write_all(const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t written = ::write(STDOUT_FILENO, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
}

// Writes out the buffer's contents and empties it.
void write_buffer() {
    if (memory_io) {
        memory_output.append(output.data(), output_length);
    } else {
        write_all(output.data(), output_length);
    }
    output_length = 0;
}

// Waits until standard input is readable, serving the held signals whenever one came: a
// terminating signal ends the program through its hook; a continue or window-size signal
// runs the repaint. Pending output is flushed before every wait.
void wait_for_input() {
    for (;;) {
        if (ending_signal && ending_signal_hook) ending_signal_hook(ending_signal);
        if (repaint_pending) {
            repaint_pending = 0;
            if (resume_hook) resume_hook();
        }
        flush_output();
        pollfd request{STDIN_FILENO, POLLIN, 0};
        int ready = ::ppoll(&request, 1, nullptr, &wait_mask);
        if (ready > 0) return;
        if (ready < 0 && errno != EINTR) return;  // the read will report the failure
    }
}

bool fill_from_memory() {
    if (memory_next >= memory_input.size()) return false;
    std::size_t n = std::min(input_buffer.size(), memory_input.size() - memory_next);
    memory_input.copy(reinterpret_cast<char*>(input_buffer.data()), n, memory_next);
    memory_next += n;
    input_next = 0;
    input_end = n;
    return true;
}

// Reads what the terminal sent into the input buffer after its unread bytes, with the
// replies to the start-up queries taken out; the read's result.
ssize_t read_input() {
    std::size_t room = READ_SIZE - std::min(input_end, READ_SIZE);
    ssize_t got = ::read(STDIN_FILENO, raw_input.data(), room);
    if (got > 0) {
        std::span<const unsigned char> read(raw_input.data(), static_cast<std::size_t>(got));
        input_end += filter_replies(replies, read, std::span(input_buffer).subspan(input_end));
    }
    return got;
}

// Refills the input buffer; false at end of input or on a read error. A read that held
// nothing but a reply, or the start of one, is followed by the next. Unlike start-up's
// wait for the answers, a key read here never waits for the next read to show that a
// lone ESC at its end is no answer.
bool fill_input() {
    if (memory_io) return fill_from_memory();
    for (;;) {
        wait_for_input();
        input_next = input_end = 0;
        ssize_t got = read_input();
        if (got > 0) {
            input_end += release_lone_escape(replies, std::span(input_buffer).subspan(input_end));
            if (input_end > 0) return true;
            continue;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        // In line mode the end-of-file key (Ctrl-D) also reads as 0 bytes. While the
        // terminal is still there that is a slip of the finger at a prompt, not the end
        // of input: the prompt goes on waiting. A hung-up terminal fails tcgetattr.
        termios modes;
        if (got == 0 && line_mode_on && ::tcgetattr(STDIN_FILENO, &modes) == 0) continue;
        return false;
    }
}

void apply(const termios& modes) { ::tcsetattr(STDIN_FILENO, TCSANOW, &modes); }

// Reads until the device attributes have come (they answer the last query, so every
// reply is in) or the wait's time is up. Keys typed meanwhile stay in the input buffer,
// in order; a reply that comes later is taken out by the same filter.
void wait_for_replies() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + REPLY_WAIT;
    while (replies.outstanding && input_end < READ_SIZE) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        pollfd request{STDIN_FILENO, POLLIN, 0};
        int ready = ::poll(&request, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return;
        ssize_t got = read_input();
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return;
    }
}

}  // namespace

void out(std::string_view text) {
    while (!text.empty()) {
        if (output_length == OUTPUT_CAPACITY) write_buffer();
        std::size_t n = std::min(text.size(), OUTPUT_CAPACITY - output_length);
        std::memcpy(output.data() + output_length, text.data(), n);
        output_length += n;
        text.remove_prefix(n);
    }
}

void out_byte(char byte) {
    if (output_length == OUTPUT_CAPACITY) write_buffer();
    output[output_length++] = byte;
}

// Formats in place when the text fits the buffer's free room; otherwise the buffer is
// written out first, and a text longer than the whole buffer is cut at its capacity
// (no caller writes anything near that long: every text is one screen field).
void out_vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    std::size_t room = OUTPUT_CAPACITY - output_length;
    int length = std::vsnprintf(output.data() + output_length, room, format, args);
    if (length >= 0 && static_cast<std::size_t>(length) >= room) {
        write_buffer();
        length = std::vsnprintf(output.data(), OUTPUT_CAPACITY, format, copy);
        room = OUTPUT_CAPACITY;
    }
    if (length >= 0) output_length += std::min(static_cast<std::size_t>(length), room - 1);
    va_end(copy);
}

void out_format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    out_vformat(format, args);
    va_end(args);
}

void flush_output() {
    if (output_length == 0 || memory_io) return;
    write_buffer();
}

int next_byte() {
    if (pushed_back >= 0) {
        int byte = pushed_back;
        pushed_back = -1;
        return byte;
    }
    if (input_next >= input_end && !fill_input()) {
        if (input_end_hook) input_end_hook();
        std::_Exit(1);  // only without a hook: nothing sensible can follow
    }
    return input_buffer[input_next++];
}

void push_back(int byte) { pushed_back = byte & 0xFF; }

bool save_modes() {
    if (::tcgetattr(STDIN_FILENO, &saved_modes) != 0) return false;
    modes_saved = true;
    return true;
}

// Key mode: curses raw() and noecho(), then the driver set directly, since the curses
// library turns carriage-return and newline translation off on its own. Output
// translation stays on, so a newline always starts the next row.
// Pending output is flushed only after the switch: it often answers a prompt, and a key
// pressed as soon as the answer shows must not meet line mode, where the driver would
// echo it and turn Ctrl-C into a signal. Line mode translates output alike, so nothing
// written under it changes by coming out later.
void key_mode() {
    line_mode_on = false;
    if (memory_io) return;
    noecho();
    raw();
    if (modes_saved) {
        termios modes = saved_modes;
        modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
        modes.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT);
        modes.c_oflag |= OPOST | ONLCR;
        modes.c_cc[VMIN] = 1;
        modes.c_cc[VTIME] = 0;
        apply(modes);
    }
    flush_output();
}

// Line mode: curses echo() and noraw(), then the driver set directly: echo, the
// driver's line editing, signals from keys, and Return delivered as byte 10.
void line_mode() {
    line_mode_on = true;
    if (memory_io) return;
    flush_output();
    echo();
    noraw();
    if (!modes_saved) return;
    termios modes = saved_modes;
    modes.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
    modes.c_iflag |= ICRNL;
    modes.c_iflag &= ~static_cast<tcflag_t>(INLCR | IGNCR);
    modes.c_oflag |= OPOST | ONLCR;
    apply(modes);
}

void discard_typed_input() {
    if (!memory_io) ::tcflush(STDIN_FILENO, TCIFLUSH);
}

bool type_known() {
    int status = 0;
    if (setupterm(nullptr, STDOUT_FILENO, &status) != OK) return false;
    del_curterm(cur_term);
    return true;
}

bool size_known(int& height, int& width) {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) {
        return false;
    }
    height = size.ws_row;
    width = size.ws_col;
    return true;
}

void start_curses() {
    if (!memory_io) initscr();
}

// The level control goes to standard error, and so do its query and its restore: they
// concern the terminal that the level control reaches. When standard error is not a
// terminal nothing is asked, and nothing will be restored.
void select_vt100_level() {
    if (memory_io) return;
    if (::isatty(STDERR_FILENO)) {
        std::fputs("\x1bP$q\"p\x1b\\\x1b[c", stderr);  // DECRQSS of the level, then DA1
        std::fflush(stderr);
        replies.outstanding = true;
        wait_for_replies();
    }
    std::fputs("\x1b[61\"p", stderr);
    std::fflush(stderr);
}

// After endwin(): G1 back to the ordinary set, where the curses library's shutdown leaves
// the line-drawing set (a later Shift-Out byte would show line pieces), and the level
// the terminal reported at start, exactly as reported. Neither shows anything.
void end_curses() {
    if (memory_io) return;
    flush_output();
    endwin();
    if (modes_saved) apply(saved_modes);
    out("\x1b)B");
    flush_output();
    if (replies.level[0] != '\0') {
        std::fprintf(stderr, "\x1b[%s\"p", replies.level.data());
        std::fflush(stderr);
    }
}

void set_hooks(void (*on_resume)(), void (*on_input_end)()) {
    resume_hook = on_resume;
    input_end_hook = on_input_end;
}

void set_ending_signal_hook(void (*on_ending_signal)(int)) {
    ending_signal_hook = on_ending_signal;
}

void note_repaint_signal() { repaint_pending = 1; }

void note_ending_signal(int signal_number) { ending_signal = signal_number; }

void hold_signals(std::span<const int> signal_numbers) {
    sigset_t held;
    sigemptyset(&held);
    for (int signal_number : signal_numbers) sigaddset(&held, signal_number);
    sigprocmask(SIG_BLOCK, &held, &wait_mask);
    for (int signal_number : signal_numbers) sigdelset(&wait_mask, signal_number);
}

void use_memory(std::string input) {
    memory_io = true;
    memory_input = std::move(input);
    memory_next = 0;
    input_next = input_end = 0;
    pushed_back = -1;
    output_length = 0;
    memory_output.clear();
}

std::string take_output() {
    write_buffer();
    std::string taken;
    taken.swap(memory_output);
    return taken;
}

bool in_line_mode() { return line_mode_on; }

}  // namespace fenk::terminal
