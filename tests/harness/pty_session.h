// End-to-end harness: runs a program (normally the fenk binary) on a 24x80 pseudo-terminal (or
// another size a test asks for) and keeps an emulated screen of everything it writes, so tests can
// wait for what a user would see and type what a user would type. Waits re-check their condition
// after every chunk of output and return as soon as it holds; none sleeps a fixed time. Rows and
// columns are 1-based, like the editor's own screen positions.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace fenk_test {

inline constexpr int screen_rows = 24;
inline constexpr int screen_cols = 80;
// The exit status a sanitizer report gives the child (set through ASAN_OPTIONS unless the
// environment already sets it); the harness fails the test when it sees it.
inline constexpr int sanitizer_exit_status = 86;

// The editor's start-up queries, the conformance level (DECRQSS) and the device attributes
// (DA1), and what xterm answers to them at its default level.
inline constexpr std::string_view level_query = "\x1bP$q\"p\x1b\\";
inline constexpr std::string_view attributes_query = "\x1b[c";
inline constexpr std::string_view xterm_level_reply = "\x1bP1$r64;1\"p\x1b\\";
inline constexpr std::string_view xterm_attributes_reply = "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c";

// How the terminal answers those queries.
enum class QueryAnswers {
    like_xterm,  // at once, as xterm does
    never,       // not at all; a test that wants a reply sends it itself, as keys are sent
};

// How the child process is started, besides its argv.
struct SessionOptions {
    // "NAME=value" sets NAME in the child; "NAME" alone unsets it.
    std::vector<std::string> env_overrides;
    std::string term = "vt100";      // TERM for the child; empty means TERM is unset
    std::string working_dir;         // the child changes to this directory first if non-empty
    bool use_pty_for_stdin = true;   // false: stdin is /dev/null (stderr stays on the pty)
    bool use_pty_for_stdout = true;  // false: stdout is /dev/null (stderr stays on the pty)
    rlim_t address_space_limit = 0;  // soft RLIMIT_AS in the child, in bytes, if non-zero
    rlim_t file_size_limit = 0;      // soft RLIMIT_FSIZE in bytes if non-zero
    int rows = screen_rows;          // the pty's window size at start; the screen's reads
    int cols = screen_cols;          // stay within 24x80 whatever it is
    QueryAnswers query_answers = QueryAnswers::like_xterm;
};

// One child process on its own pseudo-terminal, and the screen it has drawn so far.
class Session {
  public:
    // What one screen cell shows; a cell never written reads as a blank without attributes.
    struct CellInfo {
        // Code point; DEC line drawing comes back as box drawing (U+250C, U+2500, ...).
        char32_t ch;
        bool bold;       // SGR 1
        bool blink;      // SGR 5
        bool reverse;    // SGR 7
        bool underline;  // SGR 4 (any underline style)
    };

    // Starts argv (argv[0] is the program's path) on a fresh pty of the options' size; a failed
    // exec shows on the screen and the child exits with status 127.
    explicit Session(std::vector<std::string> argv, SessionOptions options = {});
    // Starts the fenk binary under test with the given arguments.
    static Session fenk(std::vector<std::string> args = {}, SessionOptions options = {});
    // Kills (SIGKILL) and reaps the child if it is still there.
    ~Session();
    // Takes over the child, the pty and the screen; the moved-from Session may only be destroyed or
    // assigned to.
    Session(Session&& other) noexcept;
    // Ends this Session's own child first, then takes over the other's.
    Session& operator=(Session&& other) noexcept;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Writes all the bytes to the terminal as keystrokes, reading output meanwhile so the child
    // never blocks.
    void send(std::string_view bytes);

    // Reads output until pred() holds (checked before and after every chunk) or the timeout passes.
    testing::AssertionResult wait_until(const std::function<bool()>& pred,
                                        std::chrono::milliseconds timeout = default_timeout());
    // Waits until `text` is shown starting at (row, col).
    testing::AssertionResult wait_for_text(int row, int col, std::string_view text,
                                           std::chrono::milliseconds timeout = default_timeout());
    // Waits until the whole row, trailing blanks removed, equals `trimmed`.
    testing::AssertionResult wait_for_row(int row, std::string_view trimmed,
                                          std::chrono::milliseconds timeout = default_timeout());
    // Waits until `text` is shown anywhere within a single row.
    testing::AssertionResult wait_for_screen_text(
        std::string_view text, std::chrono::milliseconds timeout = default_timeout());
    // Waits until no output has come for `quiet` (or the child closed the terminal).
    testing::AssertionResult wait_quiet(
        std::chrono::milliseconds quiet = std::chrono::milliseconds(150),
        std::chrono::milliseconds timeout = default_timeout());
    // Waits for the child to end, reading its output meanwhile; its exit status, 128+signal if a
    // signal killed it, nullopt on timeout.
    std::optional<int> wait_exit(std::chrono::milliseconds timeout = default_timeout());
    // Like wait_exit, but as an assertion that the status is `expected`, with the screen on
    // failure.
    testing::AssertionResult wait_exit_status(
        int expected, std::chrono::milliseconds timeout = default_timeout());
    // Reads whatever output comes during the given time (for "nothing else was drawn" checks).
    void pump(std::chrono::milliseconds for_at_most);

    // True if `text` is shown anywhere within a single row.
    bool screen_contains(std::string_view text) const;
    // The 80 cells of the row as UTF-8; cells never written count as blanks.
    std::string row_text(int row) const;
    // `length` cells of the row starting at col, as UTF-8.
    std::string text(int row, int col, int length) const;
    // What the cell at (row, col) shows.
    CellInfo cell(int row, int col) const;
    // The cursor position as {row, col}.
    std::pair<int, int> cursor() const;

    // Every byte read from the terminal so far, including what the screen cannot show (bells,
    // ignored escapes).
    const std::string& transcript() const { return transcript_; }
    // Number of bytes read so far; a mark for transcript_contains.
    std::size_t transcript_size() const { return transcript_.size(); }
    // True if the bytes occur in the transcript at or after offset `from`.
    bool transcript_contains(std::string_view bytes, std::size_t from = 0) const;

    // Sends a signal to the child (nothing if it has already been reaped).
    void signal(int sig);
    // Changes the pty's window size, as a terminal window does; the kernel sends the child
    // SIGWINCH. The emulated screen takes the new size too.
    void resize(int rows, int cols);
    // Closes the master side of the pty: the child gets SIGHUP and then EIO on the terminal.
    void hang_up();
    // True while the child has not exited (reaps it if it has).
    bool running();
    // The child's process id.
    pid_t pid() const { return pid_; }
    // The master side of the pty; -1 after hang_up.
    int master_fd() const { return master_; }
    // The pty's current modes as the child set them (ECHO, ICANON, ISIG, ICRNL, OPOST/ONLCR...).
    termios child_termios() const;

    // The 24 numbered rows, the cursor, the child's state and the tail of the transcript with
    // controls escaped.
    std::string dump() const;

    // Default budget of every wait: 5 s, four times that under the sanitizer build.
    static std::chrono::milliseconds default_timeout();

  private:
    struct VTermDeleter {
        void operator()(VTerm* vt) const;
    };
    using Clock = std::chrono::steady_clock;

    bool read_chunk();
    void feed_emulator(std::string_view bytes);
    void answer_queries();
    void write_to_master(std::string_view bytes);
    bool poll_master(Clock::time_point deadline);
    void drain_after_exit(Clock::time_point deadline);
    bool reap(bool block);
    void end_child();
    testing::AssertionResult failure(const std::string& what) const;
    std::string cells(int row, int col, int length) const;

    std::unique_ptr<VTerm, VTermDeleter> vt_;  // the terminal emulator; owns screen_
    VTermScreen* screen_ = nullptr;            // the emulated screen of vt_
    int master_ = -1;  // master side of the pty; -1 once hung up or moved from
    int pidfd_ = -1;   // pollable handle on the child; -1 if the kernel lacks pidfd_open
    pid_t pid_ = -1;   // the child; -1 when moved from
    std::optional<int> exit_status_;  // set once the child has been reaped
    bool eof_ = false;            // the terminal has no more output (child closed it, or hung up)
    std::string transcript_;      // every byte read from the master
    bool answer_queries_ = true;  // answer the start-up queries like xterm
    std::size_t query_scan_ = 0;  // transcript_ before this offset holds no unanswered query
    std::string held_from_emulator_;  // output that may begin a level query, not yet fed to vt_
};

// A fresh temporary directory for one test, removed with everything in it when the object goes
// away.
class TempDir {
  public:
    // Creates the directory under $TMPDIR, or /tmp if that is unset.
    TempDir();
    // Removes the directory recursively.
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory's full path.
    const std::string& path() const { return path_; }
    // The full path of `name` inside the directory (the file need not exist).
    std::string file(std::string_view name) const;
    // Writes the bytes to `name` inside the directory, replacing it; returns its full path.
    std::string write_file(std::string_view name, std::string_view bytes) const;

  private:
    std::string path_;
};

// The whole file as bytes; adds a test failure and returns "" if it cannot be read.
std::string read_file(const std::string& path);

}  // namespace fenk_test
