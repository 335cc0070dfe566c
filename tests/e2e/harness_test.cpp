// Tests of the pty harness itself, driving /bin/sh and /bin/cat: if the harness misreads the
// screen, waits wrongly or loses track of the child, every end-to-end test of the editor would
// mislead.
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "pty_session.h"

namespace fenk_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

Session shell(const std::string& script, SessionOptions options = {}) {
    return Session({"/bin/sh", "-c", script}, std::move(options));
}

// ---- Reading the screen ----

TEST(HarnessScreen, ReadsAttributesLineDrawingUtf8AndCursor) {
    Session s = shell(
        "printf '\\033[1mB\\033[0m\\033[5mK\\033[0m\\033[7mR\\033[0m\\033[4mU\\033[0mN'"
        "; printf '\\033[3;5H\\033(0lqkxmj\\033(B\\303\\251\\033[19;15H'; exec cat");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 15}; }));

    const auto bold = s.cell(1, 1), blink = s.cell(1, 2), reverse = s.cell(1, 3),
               under = s.cell(1, 4);
    EXPECT_TRUE(bold.ch == U'B' && bold.bold && !bold.blink && !bold.reverse && !bold.underline);
    EXPECT_TRUE(blink.ch == U'K' && blink.blink && !blink.bold && !blink.reverse);
    EXPECT_TRUE(reverse.ch == U'R' && reverse.reverse && !reverse.bold && !reverse.blink);
    EXPECT_TRUE(under.ch == U'U' && under.underline && !under.reverse);
    const auto plain = s.cell(1, 5);
    EXPECT_TRUE(plain.ch == U'N' && !plain.bold && !plain.blink && !plain.reverse &&
                !plain.underline);

    EXPECT_EQ(s.cell(3, 5).ch, U'\u250C');
    EXPECT_EQ(s.cell(3, 10).ch, U'\u2518');
    EXPECT_EQ(s.text(3, 5, 7), "┌─┐│└┘é");
    EXPECT_EQ(s.row_text(3), "    ┌─┐│└┘é" + std::string(69, ' '));
    EXPECT_EQ(s.cell(24, 80).ch, U' ');  // never written
    EXPECT_EQ(s.row_text(24), std::string(80, ' '));
    EXPECT_TRUE(s.wait_for_text(3, 11, "é"));
    EXPECT_TRUE(s.wait_for_row(1, "BKRUN"));
}

TEST(HarnessScreen, TranscriptKeepsBytesTheScreenSwallows) {
    Session s = shell("printf 'one\\007\\0331\\033[61\"p'; read x; printf 'two\\0332'; exec cat");
    ASSERT_TRUE(s.wait_for_row(1, "one"));
    ASSERT_TRUE(s.wait_until([&] { return s.transcript_contains("\x1b[61\"p"); }));
    const std::size_t mark = s.transcript_size();
    EXPECT_TRUE(s.transcript_contains("\a"));
    EXPECT_TRUE(s.transcript_contains("\0331"));
    EXPECT_FALSE(s.transcript_contains("one", mark));

    s.send("\r");
    ASSERT_TRUE(s.wait_until([&] { return s.transcript_contains("\0332", mark); }));
    EXPECT_TRUE(s.transcript_contains("two", mark));
    EXPECT_FALSE(s.transcript_contains("\a", mark));
}

// ---- Waiting ----

TEST(HarnessWait, ReturnsAsSoonAsTheTextAppears) {
    Session s = shell("read line; printf 'got %s\\n' \"$line\"; exec cat");
    s.send("hello\r");
    const auto start = Clock::now();
    ASSERT_TRUE(s.wait_for_row(2, "got hello", 30s));
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_EQ(s.row_text(1).substr(0, 6),
              "hello ");  // echoed by the pty, Return translated to a newline
    EXPECT_EQ(s.cursor(), (std::pair{3, 1}));
}

TEST(HarnessWait, FailureShowsTheScreenAndKeepsToItsBudget) {
    Session s = shell("printf 'abc\\007'; exec cat");
    ASSERT_TRUE(s.wait_for_text(1, 1, "abc"));

    const auto start = Clock::now();
    const testing::AssertionResult missing = s.wait_for_screen_text("missing", 300ms);
    const auto took = Clock::now() - start;
    EXPECT_FALSE(missing);
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 3s);

    const std::string message = missing.message();
    EXPECT_NE(message.find("\"missing\""), std::string::npos) << message;
    EXPECT_NE(message.find(" 1|abc\n"), std::string::npos) << message;
    EXPECT_NE(message.find("24|\n"), std::string::npos) << message;
    EXPECT_NE(message.find("cursor at row 1, col 4"), std::string::npos) << message;
    EXPECT_NE(message.find("abc\\x07"), std::string::npos) << message;

    const testing::AssertionResult wrong_place = s.wait_for_text(1, 2, "abc", 50ms);
    EXPECT_FALSE(wrong_place);
    EXPECT_NE(std::string(wrong_place.message()).find("found \"bc \""), std::string::npos)
        << wrong_place.message();
}

TEST(HarnessWait, QuietOnlyWhenOutputPauses) {
    Session idle = shell("printf ready; exec cat");
    ASSERT_TRUE(idle.wait_for_text(1, 1, "ready"));
    EXPECT_TRUE(idle.wait_quiet(100ms, 2s));

    Session busy = shell("while :; do printf x; done");
    const auto start = Clock::now();
    EXPECT_FALSE(busy.wait_quiet(200ms, 600ms));
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_GT(busy.transcript_size(), 0u);
}

// ---- The child process ----

TEST(HarnessProcess, ReportsExitStatusAndKillingSignal) {
    Session exits = shell("exit 3");
    EXPECT_TRUE(exits.wait_exit_status(3));
    EXPECT_FALSE(exits.running());

    Session killed = shell("printf ready; exec cat");
    ASSERT_TRUE(killed.wait_for_text(1, 1, "ready"));
    EXPECT_TRUE(killed.running());
    killed.signal(SIGTERM);
    EXPECT_EQ(killed.wait_exit(), 128 + SIGTERM);
    EXPECT_FALSE(killed.running());

    Session stays = shell("printf ready; exec cat");
    ASSERT_TRUE(stays.wait_for_text(1, 1, "ready"));
    EXPECT_EQ(stays.wait_exit(100ms), std::nullopt);
    EXPECT_FALSE(stays.wait_exit_status(0, 50ms));
}

TEST(HarnessProcess, HangUpReachesTheChildEvenIfTheRunnerIgnoresSighup) {
    const auto previous = ::signal(SIGHUP, SIG_IGN);  // as under nohup
    Session s = shell("printf ready; exec cat");
    ::signal(SIGHUP, previous);
    ASSERT_TRUE(s.wait_for_text(1, 1, "ready"));
    s.hang_up();
    EXPECT_EQ(s.master_fd(), -1);
    EXPECT_EQ(s.wait_exit(), 128 + SIGHUP);
}

TEST(HarnessProcess, WaitExitReadsOutputSoAWritingChildCanFinish) {
    // Far more than the pty buffers: the child blocks unless the harness reads while it waits.
    Session s = shell("head -c 200000 /dev/zero | tr '\\0' x; printf END");
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(s.transcript_size(), 200003u);
    EXPECT_TRUE(s.transcript().ends_with("xxxEND"));
    EXPECT_TRUE(s.screen_contains(
        "END"));  // the last bytes, written just before exit, reached the screen too
}

TEST(HarnessProcess, MovedSessionKeepsItsChildAndDestructionReapsIt) {
    pid_t pid = -1;
    {
        Session first = shell("printf ready; exec cat");
        Session second = std::move(first);
        pid = second.pid();
        ASSERT_TRUE(second.wait_for_text(1, 1, "ready"));
        second.send("typed\r");
        EXPECT_TRUE(second.wait_for_row(2, "typed"));  // the echo on row 1, then cat's copy
        EXPECT_TRUE(second.running());
    }
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(HarnessProcess, ChildTermiosShowsTheModesTheChildSet) {
    Session cooked = shell("printf ready; exec cat");
    ASSERT_TRUE(cooked.wait_for_text(1, 1, "ready"));
    const termios before = cooked.child_termios();
    EXPECT_NE(before.c_lflag & ECHO, 0u);
    EXPECT_NE(before.c_lflag & ICANON, 0u);
    EXPECT_NE(before.c_lflag & ISIG, 0u);
    EXPECT_NE(before.c_iflag & ICRNL, 0u);
    EXPECT_NE(before.c_oflag & OPOST, 0u);
    EXPECT_NE(before.c_oflag & ONLCR, 0u);

    Session raw = shell("stty -echo -icanon -icrnl -onlcr; printf ready; exec cat");
    ASSERT_TRUE(raw.wait_for_text(1, 1, "ready"));
    const termios after = raw.child_termios();
    EXPECT_EQ(after.c_lflag & (ECHO | ICANON), 0u);
    EXPECT_EQ(after.c_iflag & ICRNL, 0u);
    EXPECT_EQ(after.c_oflag & ONLCR, 0u);
}

// ---- Session options ----

TEST(HarnessOptions, SetsEnvironmentDirectoryAndWindowSize) {
    TempDir dir;
    dir.write_file("marker", "in-dir\n");
    SessionOptions options;
    options.env_overrides = {"FENK_A=1", "HOME"};
    options.working_dir = dir.path();
    setenv("COLUMNS", "132", 1);  // from the developer's shell; must not reach the child
    Session s = shell(
        "printf '[%s][%s][%s][%s]\\n' \"$TERM\" \"${FENK_A-unset}\" \"${HOME-unset}\" "
        "\"${COLUMNS-unset}\""
        "; cat marker; stty size",
        options);
    unsetenv("COLUMNS");
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(s.wait_for_row(1, "[vt100][1][unset][unset]", 0ms));
    EXPECT_TRUE(s.wait_for_row(2, "in-dir", 0ms));
    EXPECT_TRUE(s.wait_for_row(3, "24 80", 0ms));

    SessionOptions no_term_options;
    no_term_options.term = "";
    Session no_term = shell("printf '[%s]' \"${TERM-unset}\"", no_term_options);
    EXPECT_TRUE(no_term.wait_exit_status(0));
    EXPECT_TRUE(no_term.wait_for_row(1, "[unset]", 0ms));

    SessionOptions bad_dir_options;
    bad_dir_options.working_dir = dir.file("absent");
    Session bad_dir({"/bin/true"}, bad_dir_options);
    EXPECT_EQ(bad_dir.wait_exit(), 127);
    EXPECT_TRUE(bad_dir.screen_contains("cannot change to"));
}

TEST(HarnessOptions, StdinAndStdoutCanBeDevNullWithStderrOnThePty) {
    SessionOptions options;
    options.use_pty_for_stdin = false;
    options.use_pty_for_stdout = false;
    Session s = shell(
        "[ -t 0 ] || echo in-null >&2; [ -t 1 ] || echo out-null >&2; [ -t 2 ] && echo err-tty >&2"
        "; echo hidden",
        options);
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(s.wait_for_row(1, "in-null", 0ms));
    EXPECT_TRUE(s.wait_for_row(2, "out-null", 0ms));
    EXPECT_TRUE(s.wait_for_row(3, "err-tty", 0ms));
    EXPECT_FALSE(s.screen_contains("hidden"));
}

TEST(HarnessOptions, ResourceLimitsAreSetAndExceedingThemActsAsUnderAShell) {
    TempDir dir;
    SessionOptions options;
    options.working_dir = dir.path();
    options.address_space_limit = 512u << 20;
    options.file_size_limit = 1000;
    Session s = shell(
        "head -c 5000 /dev/zero > big; echo \"status [$?]\"; echo \"as $(ulimit -v)\"", options);
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(s.screen_contains("status [153]"));  // killed by SIGXFSZ, as from a shell
    EXPECT_TRUE(s.screen_contains("as 524288"));
    EXPECT_EQ(read_file(dir.file("big")).size(), 1000u);
}

// What an interactive shell gives a command it starts: no signal ignored or blocked,
// whatever the test runner ignores or blocks and whatever limits the test sets.
// The signal set that a /proc status line on `row` shows, without the signals the C library
// keeps for itself (from 32 up to SIGRTMIN): no program can change or use those, and make
// leaves them ignored for everything it runs.
unsigned long long signal_set_shown(const Session& s, int row, const std::string& label) {
    const std::string line = s.row_text(row);
    if (line.rfind(label, 0) != 0) return ~0ull;
    unsigned long long set = std::strtoull(line.c_str() + label.size(), nullptr, 16);
    for (int sig = 32; sig < SIGRTMIN; ++sig) set &= ~(1ull << (sig - 1));
    return set;
}

// The runner ignores and blocks signals here on purpose, as a careless parent would: the
// harness must pass none of that on to the program it starts.
TEST(HarnessOptions, ChildGetsEverySignalAtItsDefaultActionAndUnblocked) {
    const auto previous_pipe = ::signal(SIGPIPE, SIG_IGN);
    const auto previous_xfsz = ::signal(SIGXFSZ, SIG_IGN);
    sigset_t held, previous_mask;
    sigemptyset(&held);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGWINCH);
    sigprocmask(SIG_BLOCK, &held, &previous_mask);
    SessionOptions options;
    options.address_space_limit = 512u << 20;
    options.file_size_limit = 1000;
    // Caught signals fall back to their default at exec, so the ignored and blocked sets are
    // what a harness could leak to the program it starts.
    Session s = shell("exec grep -E '^Sig(Blk|Ign)' /proc/self/status", options);
    sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
    ::signal(SIGXFSZ, previous_xfsz);
    ::signal(SIGPIPE, previous_pipe);
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(signal_set_shown(s, 1, "SigBlk:"), 0u) << s.dump();
    EXPECT_EQ(signal_set_shown(s, 2, "SigIgn:"), 0u) << s.dump();
}

TEST(HarnessOptions, WindowSizeAtStartAndResize) {
    SessionOptions options;
    options.rows = 30;
    options.cols = 100;
    Session s = shell("stty size; read line; stty size", options);
    ASSERT_TRUE(s.wait_for_row(1, "30 100"));
    s.resize(23, 79);
    s.send("\r");
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(s.wait_for_row(3, "23 79", 0ms)) << s.dump();
    EXPECT_EQ(s.row_text(24), std::string(80, ' ')) << "no row 24 on a 23-row screen";
}

// ---- Temporary files ----

TEST(HarnessTempDir, RoundTripsBinaryBytesAndRemovesEverything) {
    std::string path;
    {
        TempDir dir;
        path = dir.path();
        const std::string bytes("\0\x01\xff\r\n\x1b", 6);
        const std::string file = dir.write_file("data.bin", bytes);
        EXPECT_EQ(file, dir.file("data.bin"));
        EXPECT_EQ(read_file(file), bytes);
        std::filesystem::create_directories(dir.file("sub/deeper"));
        dir.write_file("sub/deeper/x", "x");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace fenk_test
