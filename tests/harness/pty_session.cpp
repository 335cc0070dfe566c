// Pseudo-terminal sessions for end-to-end tests: starting the child, pumping its output into
// libvterm, reading the emulated screen back, and ending the child. Every wait polls the master
// with the remaining budget and re-checks its condition after each chunk, so a test takes as long
// as the program does and no longer.
#include "pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace fenk_test {
namespace {

using namespace std::chrono_literals;

// ---- Starting the child ----

// Everything the child needs, prepared before fork so the child only makes system calls.
struct ChildPlan {
    std::vector<std::string> argv;
    std::vector<std::string> env;
    std::vector<char*> argv_ptrs;
    std::vector<char*> env_ptrs;
    const SessionOptions* options;
};

std::string variable_name(std::string_view entry) {
    return std::string(entry.substr(0, entry.find('=')));
}

// Removes NAME from env, then adds the entry if it carries a value ("NAME=value").
void apply_env_entry(std::vector<std::string>& env, std::string_view entry) {
    const std::string name = variable_name(entry);
    std::erase_if(env, [&](const std::string& e) { return variable_name(e) == name; });
    if (entry.find('=') != std::string_view::npos) env.emplace_back(entry);
}

std::vector<std::string> child_environment(const SessionOptions& options) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    // LINES and COLUMNS from the developer's shell would override the pty's 24x80 size in curses.
    apply_env_entry(env, "LINES");
    apply_env_entry(env, "COLUMNS");
    apply_env_entry(env, options.term.empty() ? std::string("TERM") : "TERM=" + options.term);
    // A sanitizer report in the child ends it with an exit status of its own, which reap()
    // turns into a test failure wherever the child ends. Options already set are kept.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const char* ubsan = std::getenv("UBSAN_OPTIONS");
    apply_env_entry(env, std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                             ":exitcode=" + std::to_string(sanitizer_exit_status));
    apply_env_entry(env, std::string("UBSAN_OPTIONS=") + (ubsan ? ubsan : "") +
                             ":halt_on_error=1:print_stacktrace=1");
    for (const std::string& entry : options.env_overrides) apply_env_entry(env, entry);
    return env;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
    std::vector<char*> ptrs;
    for (std::string& s : strings) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
    return ptrs;
}

[[noreturn]] void fail_in_child(const char* what, const char* detail) {
    // Shown on the pty, so it lands in the screen dump of whichever wait fails next.
    for (const char* part : {"fenk_test child: ", what, " ", detail, "\r\n"})
        if (write(STDERR_FILENO, part, std::strlen(part)) < 0) break;
    _exit(127);
}

void redirect_to_dev_null(int fd) {
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd < 0 || dup2(null_fd, fd) < 0) fail_in_child("cannot open", "/dev/null");
    close(null_fd);
}

// Sets the soft limit alone, as `ulimit -S` does: a test may raise it again in the running
// child (prlimit) without privileges.
void set_limit(int resource, rlim_t bytes) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0) fail_in_child("cannot read resource limit", "");
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    if (setrlimit(resource, &limit) != 0) fail_in_child("cannot set resource limit", "");
}

[[noreturn]] void exec_child(const ChildPlan& plan) {
    const SessionOptions& o = *plan.options;
    // The test runner's ignored or blocked signals would otherwise survive exec and hide hang-up
    // and interrupt bugs.
    for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    close_range(3, ~0U, 0);

    if (!o.working_dir.empty() && chdir(o.working_dir.c_str()) != 0)
        fail_in_child("cannot change to", o.working_dir.c_str());
    if (!o.use_pty_for_stdin) redirect_to_dev_null(STDIN_FILENO);
    if (!o.use_pty_for_stdout) redirect_to_dev_null(STDOUT_FILENO);
    if (o.address_space_limit != 0) set_limit(RLIMIT_AS, o.address_space_limit);
    // SIGXFSZ stays at its default action, as a shell leaves it: the program under test must
    // deal with it itself.
    if (o.file_size_limit != 0) set_limit(RLIMIT_FSIZE, o.file_size_limit);
    execve(plan.argv_ptrs[0], plan.argv_ptrs.data(), plan.env_ptrs.data());
    fail_in_child("cannot execute", plan.argv_ptrs[0]);
}

// ---- Text ----

void append_utf8(std::string& out, char32_t c) {
    const auto byte = [](char32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
    if (c < 0x80) {
        out += byte(c);
    } else if (c < 0x800) {
        out += byte(0xC0 | (c >> 6));
        out += byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += byte(0xE0 | (c >> 12));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    } else {
        out += byte(0xF0 | (c >> 18));
        out += byte(0x80 | ((c >> 12) & 0x3F));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    }
}

// Number of code points, i.e. of screen cells the text takes when every character is one cell wide.
int cell_count(std::string_view utf8) {
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string escape_bytes(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n':  // a line per output line keeps the tail readable
                out += "\\n\n";
                break;
            case '\\': out += "\\\\"; break;
            default:
                if (u >= 0x20 && u < 0x7F) {
                    out += c;
                } else {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned>(u));
                    out += hex;
                }
        }
    }
    return out;
}

std::string quote_escaped(std::string_view s) { return "\"" + escape_bytes(s) + "\""; }

bool valid_position(int row, int col) {
    return row >= 1 && row <= screen_rows && col >= 1 && col <= screen_cols;
}

// Milliseconds left until the deadline, rounded up, for poll().
int poll_budget(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 1'000'000));
}

}  // namespace

// ---- Life cycle ----

void Session::VTermDeleter::operator()(VTerm* vt) const { vterm_free(vt); }

Session::Session(std::vector<std::string> argv, SessionOptions options)
    : vt_(vterm_new(options.rows, options.cols)) {
    vterm_set_utf8(vt_.get(), 1);
    screen_ = vterm_obtain_screen(vt_.get());
    // As a real terminal does, so a program that switches screens restores the old one on exit.
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);

    ChildPlan plan{std::move(argv), child_environment(options), {}, {}, &options};
    plan.argv_ptrs = c_strings(plan.argv);
    plan.env_ptrs = c_strings(plan.env);
    winsize size{};
    size.ws_row = static_cast<unsigned short>(options.rows);
    size.ws_col = static_cast<unsigned short>(options.cols);
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) exec_child(plan);
    if (pid_ < 0) {
        ADD_FAILURE() << "forkpty: " << std::strerror(errno);
        master_ = -1;
        exit_status_ = 127;
        eof_ = true;
        return;
    }
    answer_queries_ = options.query_answers == QueryAnswers::like_xterm;
    // Close-on-exec so later sessions' children do not hold this pty open (hang_up must reach this
    // child alone).
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    // Through syscall(): glibc's <sys/pidfd.h> lacks C linkage for C++ and older systems lack the
    // wrapper.
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
}

Session Session::fenk(std::vector<std::string> args, SessionOptions options) {
    args.insert(args.begin(), FENK_BINARY);
    return Session(std::move(args), std::move(options));
}

Session::~Session() { end_child(); }

Session::Session(Session&& other) noexcept
    : vt_(std::move(other.vt_)),
      screen_(std::exchange(other.screen_, nullptr)),
      master_(std::exchange(other.master_, -1)),
      pidfd_(std::exchange(other.pidfd_, -1)),
      pid_(std::exchange(other.pid_, -1)),
      exit_status_(other.exit_status_),
      eof_(other.eof_),
      transcript_(std::move(other.transcript_)),
      answer_queries_(other.answer_queries_),
      query_scan_(other.query_scan_),
      held_from_emulator_(std::move(other.held_from_emulator_)) {}

Session& Session::operator=(Session&& other) noexcept {
    if (this != &other) {
        end_child();
        vt_ = std::move(other.vt_);
        screen_ = std::exchange(other.screen_, nullptr);
        master_ = std::exchange(other.master_, -1);
        pidfd_ = std::exchange(other.pidfd_, -1);
        pid_ = std::exchange(other.pid_, -1);
        exit_status_ = other.exit_status_;
        eof_ = other.eof_;
        transcript_ = std::move(other.transcript_);
        answer_queries_ = other.answer_queries_;
        query_scan_ = other.query_scan_;
        held_from_emulator_ = std::move(other.held_from_emulator_);
    }
    return *this;
}

void Session::end_child() {
    if (pid_ > 0 && !exit_status_) {
        kill(pid_, SIGKILL);
        reap(true);
    }
    if (master_ >= 0) close(master_);
    if (pidfd_ >= 0) close(pidfd_);
    master_ = pidfd_ = -1;
    pid_ = -1;
}

// Collects the child's status if it has ended (or, with block, once it ends). True once reaped.
bool Session::reap(bool block) {
    if (exit_status_) return true;
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r;
    do r = waitpid(pid_, &status, block ? 0 : WNOHANG);
    while (r < 0 && errno == EINTR);
    if (r != pid_) return false;
    exit_status_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    if (*exit_status_ == sanitizer_exit_status)
        ADD_FAILURE() << "the child ended with a sanitizer report\n" << dump();
    return true;
}

// ---- Reading output ----

// Reads one chunk into the transcript and the emulator. False if nothing was there.
bool Session::read_chunk() {
    if (master_ < 0 || eof_) return false;
    char buf[4096];
    ssize_t n;
    do n = read(master_, buf, sizeof buf);
    while (n < 0 && errno == EINTR);
    if (n > 0) {
        const auto len = static_cast<std::size_t>(n);
        transcript_.append(buf, len);
        feed_emulator(std::string_view(buf, len));
        answer_queries();
        return true;
    }
    // 0 or EIO: every slave descriptor is closed, so no more output can come.
    if (n == 0 || errno != EAGAIN) eof_ = true;
    return false;
}

// Feeds output to libvterm, all but the level queries: libvterm 0.1.4 passes a length where
// its answer's format reads a string, which the sanitizer build reports as a crash. The
// query shows nothing on a screen. A possible start of one at the end waits for the rest.
void Session::feed_emulator(std::string_view bytes) {
    std::string data = std::exchange(held_from_emulator_, std::string()) + std::string(bytes);
    std::size_t from = 0;
    for (std::size_t query; (query = data.find(level_query, from)) != std::string::npos;) {
        vterm_input_write(vt_.get(), data.data() + from, query - from);
        from = query + level_query.size();
    }
    std::size_t end = data.size();
    for (std::size_t keep = std::min(level_query.size() - 1, end - from); keep > 0; --keep) {
        if (level_query.starts_with(std::string_view(data).substr(end - keep))) {
            held_from_emulator_ = data.substr(end - keep);
            end -= keep;
            break;
        }
    }
    vterm_input_write(vt_.get(), data.data() + from, end - from);
}

// Answers each start-up query found in the new output, in the order asked, as xterm would.
// libvterm's own answers are not used: it knows no conformance level.
void Session::answer_queries() {
    if (!answer_queries_) return;
    for (;;) {
        const std::size_t level = transcript_.find(level_query, query_scan_);
        const std::size_t attributes = transcript_.find(attributes_query, query_scan_);
        if (level == std::string::npos && attributes == std::string::npos) break;
        if (level < attributes) {
            write_to_master(xterm_level_reply);
            query_scan_ = level + level_query.size();
        } else {
            write_to_master(xterm_attributes_reply);
            query_scan_ = attributes + attributes_query.size();
        }
    }
    // A query split between two reads is found once its end has come.
    const std::size_t longest = std::max(level_query.size(), attributes_query.size());
    if (transcript_.size() >= longest)
        query_scan_ = std::max(query_scan_, transcript_.size() - longest + 1);
}

// A reply is short and the child reads its input, so the write does not have to wait.
void Session::write_to_master(std::string_view bytes) {
    while (!bytes.empty() && master_ >= 0) {
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ADD_FAILURE() << "cannot answer a query: " << std::strerror(errno);
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Waits until the master has output (or hang-up) to read, up to the deadline. False on timeout or
// if closed.
bool Session::poll_master(Clock::time_point deadline) {
    if (master_ < 0 || eof_) return false;
    pollfd p{master_, POLLIN, 0};
    int r;
    do r = poll(&p, 1, poll_budget(deadline));
    while (r < 0 && errno == EINTR);
    return r > 0;
}

// After the child is reaped: reads what it wrote last, until the pty reports end of output. A
// grandchild that still holds the terminal would keep it open, hence the deadline.
void Session::drain_after_exit(Clock::time_point deadline) {
    while (poll_master(deadline)) read_chunk();
}

void Session::pump(std::chrono::milliseconds for_at_most) {
    const auto deadline = Clock::now() + for_at_most;
    while (poll_master(deadline)) read_chunk();
}

void Session::send(std::string_view bytes) {
    const auto deadline = Clock::now() + default_timeout();
    while (!bytes.empty()) {
        if (master_ < 0) {
            ADD_FAILURE() << "send after hang_up\n" << dump();
            return;
        }
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            ADD_FAILURE() << "send: " << std::strerror(errno) << "\n" << dump();
            return;
        }
        // The child is not reading its input: keep reading its output so it cannot block on us, and
        // wait.
        pollfd p{master_, POLLIN | POLLOUT, 0};
        if (poll(&p, 1, poll_budget(deadline)) == 0) {
            ADD_FAILURE() << "send: child took no input for " << default_timeout().count()
                          << " ms; " << bytes.size() << " bytes left\n"
                          << dump();
            return;
        }
        if ((p.revents & POLLIN) != 0) read_chunk();
    }
}

// ---- Waiting ----

testing::AssertionResult Session::failure(const std::string& what) const {
    return testing::AssertionFailure() << what << "\n" << dump();
}

testing::AssertionResult Session::wait_until(const std::function<bool()>& pred,
                                             std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!pred()) {
        // Once the terminal is closed the screen cannot change any more.
        if (!poll_master(deadline) && (eof_ || master_ < 0 || Clock::now() >= deadline)) {
            if (pred()) break;
            return failure("condition not met within " + std::to_string(timeout.count()) + " ms" +
                           (eof_ ? " (terminal closed)" : ""));
        }
        read_chunk();
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult Session::wait_for_text(int row, int col, std::string_view text,
                                                std::chrono::milliseconds timeout) {
    const int length = cell_count(text);
    if (!valid_position(row, col) || col + length - 1 > screen_cols)
        return failure("wait_for_text: " + quote_escaped(text) + " at row " + std::to_string(row) +
                       ", col " + std::to_string(col) + " does not fit on the screen");
    if (wait_until([&] { return cells(row, col, length) == text; }, timeout))
        return testing::AssertionSuccess();
    return failure("expected " + quote_escaped(text) + " at row " + std::to_string(row) + ", col " +
                   std::to_string(col) + ", found " + quote_escaped(cells(row, col, length)));
}

testing::AssertionResult Session::wait_for_row(int row, std::string_view trimmed,
                                               std::chrono::milliseconds timeout) {
    if (!valid_position(row, 1)) return failure("wait_for_row: no row " + std::to_string(row));
    const auto current = [&] {
        std::string s = cells(row, 1, screen_cols);
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    };
    if (wait_until([&] { return current() == trimmed; }, timeout))
        return testing::AssertionSuccess();
    return failure("expected row " + std::to_string(row) + " to be " + quote_escaped(trimmed) +
                   ", found " + quote_escaped(current()));
}

testing::AssertionResult Session::wait_for_screen_text(std::string_view text,
                                                       std::chrono::milliseconds timeout) {
    if (wait_until([&] { return screen_contains(text); }, timeout))
        return testing::AssertionSuccess();
    return failure("expected " + quote_escaped(text) + " somewhere on the screen");
}

testing::AssertionResult Session::wait_quiet(std::chrono::milliseconds quiet,
                                             std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        const auto window_end = std::min(Clock::now() + quiet, deadline);
        if (!poll_master(window_end)) {
            if (eof_ || master_ < 0 || window_end < deadline) return testing::AssertionSuccess();
            return failure("output did not pause for " + std::to_string(quiet.count()) +
                           " ms within " + std::to_string(timeout.count()) + " ms");
        }
        read_chunk();
    }
}

std::optional<int> Session::wait_exit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!reap(false)) {
        const int budget = poll_budget(deadline);
        if (budget == 0 || pid_ <= 0) return std::nullopt;
        pollfd fds[2];
        nfds_t count = 0;
        if (pidfd_ >= 0) fds[count++] = {pidfd_, POLLIN, 0};
        if (master_ >= 0 && !eof_) fds[count++] = {master_, POLLIN, 0};
        // Without a pidfd nothing signals the exit itself, so look again every few milliseconds.
        if (poll(fds, count, pidfd_ >= 0 ? budget : std::min(budget, 10)) > 0) read_chunk();
    }
    drain_after_exit(std::min(deadline, Clock::now() + 1s));
    return exit_status_;
}

testing::AssertionResult Session::wait_exit_status(int expected,
                                                   std::chrono::milliseconds timeout) {
    const std::optional<int> status = wait_exit(timeout);
    if (status == expected) return testing::AssertionSuccess();
    return failure("expected exit status " + std::to_string(expected) + ", " +
                   (status ? "got " + std::to_string(*status)
                           : "still running after " + std::to_string(timeout.count()) + " ms"));
}

// ---- Reading the screen ----

// Cells of a row as UTF-8, clipped to the screen. The second half of a wide character adds nothing.
std::string Session::cells(int row, int col, int length) const {
    std::string out;
    for (int c = col; c < col + length && c <= screen_cols; ++c) {
        VTermScreenCell cell{};  // stays blank for a cell outside a smaller screen
        vterm_screen_get_cell(screen_, VTermPos{row - 1, c - 1}, &cell);
        if (cell.chars[0] == 0) out += ' ';
        if (cell.chars[0] == 0xFFFFFFFF) continue;
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i)
            append_utf8(out, static_cast<char32_t>(cell.chars[i]));
    }
    return out;
}

std::string Session::row_text(int row) const {
    if (!valid_position(row, 1)) {
        ADD_FAILURE() << "row_text: no row " << row;
        return {};
    }
    return cells(row, 1, screen_cols);
}

std::string Session::text(int row, int col, int length) const {
    if (!valid_position(row, col) || length < 0 || col + length - 1 > screen_cols) {
        ADD_FAILURE() << "text: " << length << " cells at row " << row << ", col " << col
                      << " leave the screen";
        return {};
    }
    return cells(row, col, length);
}

Session::CellInfo Session::cell(int row, int col) const {
    if (!valid_position(row, col)) {
        ADD_FAILURE() << "cell: no cell at row " << row << ", col " << col;
        return {U' ', false, false, false, false};
    }
    VTermScreenCell c{};
    vterm_screen_get_cell(screen_, VTermPos{row - 1, col - 1}, &c);
    return {c.chars[0] == 0 ? U' ' : static_cast<char32_t>(c.chars[0]), c.attrs.bold != 0,
            c.attrs.blink != 0, c.attrs.reverse != 0, c.attrs.underline != 0};
}

std::pair<int, int> Session::cursor() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_.get()), &pos);
    return {pos.row + 1, pos.col + 1};
}

bool Session::screen_contains(std::string_view text) const {
    for (int row = 1; row <= screen_rows; ++row)
        if (cells(row, 1, screen_cols).find(text) != std::string::npos) return true;
    return false;
}

bool Session::transcript_contains(std::string_view bytes, std::size_t from) const {
    return from <= transcript_.size() && transcript_.find(bytes, from) != std::string::npos;
}

// ---- Controlling the child ----

void Session::signal(int sig) {
    if (pid_ > 0 && !exit_status_) kill(pid_, sig);
}

void Session::resize(int rows, int cols) {
    if (master_ < 0) return;
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(cols);
    if (ioctl(master_, TIOCSWINSZ, &size) != 0)
        ADD_FAILURE() << "TIOCSWINSZ: " << std::strerror(errno);
    vterm_set_size(vt_.get(), rows, cols);
}

void Session::hang_up() {
    if (master_ >= 0) close(master_);
    master_ = -1;
    eof_ = true;
}

bool Session::running() { return pid_ > 0 && !reap(false); }

termios Session::child_termios() const {
    termios modes{};
    if (master_ < 0 || tcgetattr(master_, &modes) != 0)
        ADD_FAILURE() << "child_termios: pty not open";
    return modes;
}

std::string Session::dump() const {
    std::ostringstream out;
    const auto [row, col] = cursor();
    out << "screen (cursor at row " << row << ", col " << col << "):\n";
    for (int r = 1; r <= screen_rows; ++r) {
        std::string line = cells(r, 1, screen_cols);
        line.erase(line.find_last_not_of(' ') + 1);
        out << (r < 10 ? " " : "") << r << "|" << line << "\n";
    }
    if (exit_status_)
        out << "child exited with status " << *exit_status_ << "\n";
    else
        out << "child " << pid_ << " still running" << (eof_ ? ", terminal closed" : "") << "\n";
    constexpr std::size_t tail = 400;
    const std::size_t start = transcript_.size() > tail ? transcript_.size() - tail : 0;
    out << "last " << transcript_.size() - start << " of " << transcript_.size() << " bytes read:\n"
        << escape_bytes(std::string_view(transcript_).substr(start)) << "\n";
    return out.str();
}

std::chrono::milliseconds Session::default_timeout() {
#ifdef FENK_SANITIZED
    return 20s;
#else
    return 5s;
#endif
}

// ---- Files ----

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/fenk-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "mkdtemp " << pattern << ": " << std::strerror(errno);
    else
        path_ = pattern;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string TempDir::write_file(std::string_view name, std::string_view bytes) const {
    const std::string full = file(name);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) ADD_FAILURE() << "cannot write " << full;
    return full;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace fenk_test
