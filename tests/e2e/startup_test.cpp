// Start-up and the ways out: the command line, the terminal check, Q, the signals and the end
// of input.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "editor_session.h"

namespace fenk_test {
namespace {

TEST(StartUp, SecondArgumentGetsUsageOnStandardErrorAndTouchesNothing) {
    Session s = Session::fenk({"a", "b"});
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(s.transcript(), std::string("usage: ") + FENK_BINARY + " [filename]\r\n");
}

TEST(StartUp, WithoutAFileShowsTheFrameAndWaitsForCommand) {
    Session s = start_empty_editor();
    EXPECT_EQ(s.row_text(16), std::string(80, ' '));
    EXPECT_TRUE(s.transcript_contains("\x1b[61\"p"));
}

TEST(Quit, WithoutEditsEndsAtOnceAndRestoresTheTerminal) {
    Session s = start_empty_editor();
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    termios modes = s.child_termios();
    EXPECT_TRUE(modes.c_lflag & ECHO);
    EXPECT_TRUE(modes.c_lflag & ICANON);
    EXPECT_TRUE(modes.c_iflag & ICRNL);
}

}  // namespace
}  // namespace fenk_test

namespace fenk_test {
namespace {

const std::string CLEAR = "\x1b[H\x1b[2J";

TEST(StartUp, WithoutAUsableTerminalSaysSoOnStandardErrorAndExitsWithOne) {
    struct Case {
        const char* what;
        SessionOptions options;
        std::string line;
    };
    std::vector<Case> cases(7);
    cases[0] = {"TERM unset", {}, "fenk: TERM is not set; set it to the terminal's type (vt100)"};
    cases[0].options.term = "";
    cases[1] = {"TERM empty", {}, cases[0].line};
    cases[1].options.env_overrides = {"TERM="};
    cases[2] = {"TERM unknown", {}, "fenk: unknown terminal type 'no-such-terminal'"};
    cases[2].options.term = "no-such-terminal";
    cases[3] = {"stdin not a tty", {}, "fenk: standard input and output must be a terminal"};
    cases[3].options.use_pty_for_stdin = false;
    cases[4] = {"stdout not a tty", {}, cases[3].line};
    cases[4].options.use_pty_for_stdout = false;
    cases[5] = {"23 rows",
                {},
                "fenk: the terminal has 23 rows and 80 columns; at least 24 rows and 80 columns "
                "are needed"};
    cases[5].options.rows = 23;
    cases[6] = {"79 columns",
                {},
                "fenk: the terminal has 24 rows and 79 columns; at least 24 rows and 80 columns "
                "are needed"};
    cases[6].options.cols = 79;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s = Session::fenk({}, c.options);
        ASSERT_TRUE(s.wait_exit_status(1));
        // Only the line: no conformance sequence, no screen, nothing from the curses library.
        EXPECT_EQ(s.transcript(), c.line + "\r\n");
        const termios modes = s.child_termios();
        EXPECT_EQ(modes.c_lflag & (ECHO | ICANON), tcflag_t{ECHO | ICANON});
        EXPECT_EQ(modes.c_iflag & ICRNL, tcflag_t{ICRNL});
    }
}

TEST(StartUp, ConformanceLevelGoesToStandardErrorBeforeTheScreen) {
    TempDir dir;
    const std::string errors = dir.file("stderr");
    Session s({"/bin/sh", "-c", "exec \"$0\" 2>\"$1\"", FENK_BINARY, errors});
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    EXPECT_EQ(s.transcript().rfind("\x1b(B\x1b"
                                   "2\x1b[0m" +
                                       CLEAR + " \x1b[7m Fenk! ",
                                   0),
              0u)
        << s.dump();
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(read_file(errors), "\x1b[61\"p");
}

TEST(StartUp, AFileThatCannotBeOpenedLeavesTheEditorRunning) {
    TempDir dir;
    const std::string path = dir.file("missing");
    Session s = Session::fenk({path});
    ASSERT_TRUE(wait_message(s, "Cannot open file " + path));
    s.send("\x03");
    ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
}

TEST(Signals, InterruptHangUpStopAndQuitChangeNothingInTheCommandLoop) {
    Session s = start_empty_editor();
    for (int sig : {SIGINT, SIGHUP, SIGTSTP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(sig));
        s.send("x");
        ASSERT_TRUE(wait_message(s, "Not a valid command"));
        const std::size_t mark = s.transcript_size();
        s.signal(sig);
        s.send("\x03");
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        EXPECT_EQ(s.transcript().substr(mark), "\x1b[0m" + message_bytes("Hit 'Q' to exit"));
    }
    EXPECT_TRUE(s.running());
}

TEST(Signals, SignalsDuringAPromptChangeNothing) {
    TempDir dir;
    Session s = start_editor(dir, std::string(900, 'z'));
    s.send("g");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 36}; }));
    for (int sig : {SIGINT, SIGHUP, SIGTSTP, SIGQUIT}) s.signal(sig);
    // Typed at the prompt, these keys make the driver raise the signals itself.
    s.send("\x03\x1a\x1c");
    s.send("2\r");
    ASSERT_TRUE(wait_message(s, "At requested sector"));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 2/4");
    EXPECT_TRUE(s.running());
}

// Blocks until the child has stopped.
void wait_stopped(Session& s) {
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(s.pid()), &info, WSTOPPED | WNOWAIT), 0);
}

TEST(Signals, ContinueRepaintsAtOnceWhileWaitingForAKey) {
    for (bool stopped_first : {true, false}) {
        SCOPED_TRACE(stopped_first ? "after a stop" : "without a stop");
        TempDir dir;
        Session s = start_editor(dir, std::string(600, 'z'));
        s.send("\x1b[B");
        ASSERT_TRUE(wait_message(s, "Moving forward one block"));
        const std::string sector_row = s.row_text(3);
        const std::size_t mark = s.transcript_size();
        if (stopped_first) {
            s.signal(SIGSTOP);
            wait_stopped(s);
        }
        s.signal(SIGCONT);
        // The file name is the last thing the repaint writes.
        const std::string name = dir.file("f.bin");
        ASSERT_TRUE(s.wait_until([&] {
            return s.transcript_contains(CLEAR, mark) &&
                   s.text(17, 14, static_cast<int>(name.size())) == name &&
                   message_text(s).empty() && s.cursor() == std::pair{19, 14};
        }));
        EXPECT_EQ(s.text(16, 31, 11), "Sector: 2/3");
        EXPECT_EQ(s.row_text(3), sector_row);
        s.send("\x1b[A");  // the wait goes on, and the next key is handled as usual
        ASSERT_TRUE(wait_message(s, "Moving backward one block"));
    }
}

// Stops the editor (when asked), continues it, and waits until its repaint has shown
// `message` again with the cursor at `at`.
testing::AssertionResult continue_and_wait_for(Session& s, bool stop_first,
                                               std::string_view message, std::pair<int, int> at) {
    const std::size_t mark = s.transcript_size();
    if (stop_first) {
        s.signal(SIGSTOP);
        wait_stopped(s);
    }
    s.signal(SIGCONT);
    return s.wait_until([&] {
        return s.transcript_contains(CLEAR, mark) && message_text(s) == message && s.cursor() == at;
    });
}

TEST(Signals, ContinueDuringAPromptShowsThePromptAgainInLineMode) {
    TempDir dir;
    Session s = start_editor(dir, std::string(900, 'z'));
    s.send("g");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 36}; }));
    ASSERT_TRUE(continue_and_wait_for(s, true, "Enter sector to goto:", {19, 36}));
    EXPECT_EQ(s.child_termios().c_lflag & (ICANON | ECHO), tcflag_t{ICANON | ECHO});
    s.send("3\r");
    ASSERT_TRUE(wait_message(s, "At requested sector"));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 3/4");
}

// The repaint blanks what was typed of the answer, so the answer starts afresh: a digit
// typed before the stop must not silently join the one typed after it.
TEST(Signals, ContinueDuringAPromptStartsTheAnswerAfresh) {
    TempDir dir;
    Session s = start_editor(dir, std::string(900, 'z'));
    s.send("g");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 36}; }));
    s.send("2");
    ASSERT_TRUE(s.wait_for_text(19, 36, "2"));
    ASSERT_TRUE(continue_and_wait_for(s, true, "Enter sector to goto:", {19, 36}));
    s.send("3\r");
    ASSERT_TRUE(wait_message(s, "At requested sector"));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 3/4");
}

TEST(Signals, ContinueDuringAQuestionShowsTheQuestionAgain) {
    TempDir dir;
    Session s = start_editor(dir, std::string(300, 'z'));
    s.send("a");
    ASSERT_TRUE(s.wait_for_text(19, 14, "ASC editing mode."));
    s.send("x\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
    for (const auto& [key, question] : {std::pair{"q", "File modified, Ok to exit?"},
                                        std::pair{"l", "File modified, Ok to load?"}}) {
        SCOPED_TRACE(question);
        s.send(key);
        ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 41}; }));
        ASSERT_TRUE(continue_and_wait_for(s, false, question, {19, 41}));
        s.send("n");
        ASSERT_TRUE(wait_message(s, "Returning to command mode"));
        EXPECT_TRUE(s.running());
    }
}

// A window-size change repaints the whole screen at the next wait, as the continue
// signal does: growing the window to 100x30 and shrinking it back each leave the screen
// drawn anew with whatever the wait shows restored, and the wait goes on.
TEST(Signals, WindowSizeChangeRepaintsWhereverTheEditorWaits) {
    struct Case {
        const char* where;
        std::string keys;        // from the command loop, after an edit, to get there
        std::string message;     // the message field once it waits there
        std::pair<int, int> at;  // the cursor there
        std::string reshown;     // the message field after a repaint
        std::string answer;      // ends the wait
        std::string result;      // the message then
    };
    const Case cases[] = {
        {"command loop",
         "",
         "Returning to command mode",
         {19, 14},
         "",
         "\x1b[B",
         "Moving forward one block"},
        {"prompt",
         "g",
         "Enter sector to goto:",
         {19, 36},
         "Enter sector to goto:",
         "3\r",
         "At requested sector"},
        {"edit mode",
         "h",
         "HEX editing mode.  ESC twice returns to command mode",
         {3, 6},
         "HEX editing mode.  ESC twice returns to command mode",
         "41\x1b\x1b",
         "Returning to command mode"},
        {"exit question",
         "q",
         "File modified, Ok to exit?",
         {19, 41},
         "File modified, Ok to exit?",
         "n",
         "Returning to command mode"},
        {"chart", "t", "", {24, 24}, "", " ", "Waiting for command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        TempDir dir;
        Session s = start_editor(dir, std::string(900, 'z'));
        s.send("ax\x1b\x1b");
        ASSERT_TRUE(wait_message(s, "Returning to command mode"));
        s.send(c.keys);
        const bool chart = c.message.empty();
        const auto chart_shown = [&] {
            return s.row_text(24).rfind("  Hit space to continue", 0) == 0;
        };
        ASSERT_TRUE(s.wait_until([&] {
            return s.cursor() == c.at && (chart ? chart_shown() : message_text(s) == c.message);
        }));
        for (std::pair<int, int> size : {std::pair{30, 100}, std::pair{24, 80}}) {
            const std::size_t mark = s.transcript_size();
            s.resize(size.first, size.second);
            ASSERT_TRUE(s.wait_until([&] {
                return s.transcript_contains(CLEAR, mark) && s.cursor() == c.at &&
                       (chart ? chart_shown() : message_text(s) == c.reshown);
            })) << size.first
                << "x" << size.second;
            if (chart) continue;
            EXPECT_EQ(s.text(1, 2, 12), " Fenk! V1.0 ");
            EXPECT_EQ(s.text(3, 55, 3), "xzz");
            EXPECT_EQ(s.text(16, 31, 11), "Sector: 1/4");
        }
        s.send(c.answer);
        ASSERT_TRUE(wait_message(s, c.result));
    }
}

TEST(EndOfInput, HangUpEndsTheProgramInAnOrderlyWayWhereverItWaits) {
    struct Case {
        const char* where;
        std::string key;
        int row;  // the text that shows the editor is waiting there
        std::string text;
        std::string typed;  // typed once it waits, before the hang-up
    };
    const Case cases[] = {
        {"command loop", "", 19, "Image loaded", ""},
        {"G prompt", "g", 19, "Enter sector to goto:", ""},
        {"J prompt with a partial answer", "j", 19, "Enter byte to jump to:", "12"},
        {"chart", "t", 24, "  Hit space to continue", ""},
        {"text edit mode", "a", 19, "ASC editing mode.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        TempDir dir;
        Session s = start_editor(dir, std::string(600, 'z'));
        s.send(c.key);
        ASSERT_TRUE(s.wait_for_text(c.row, c.row == 24 ? 1 : 14, c.text));
        s.send(c.typed);
        ASSERT_TRUE(s.wait_for_text(19, 37, c.typed));
        s.hang_up();
        EXPECT_TRUE(s.wait_exit_status(0)) << "exits instead of spinning";
    }
}

// The end-of-file key at a prompt reads as end of input in line mode; while the terminal
// is still there it must not end the session.
TEST(EndOfInput, EndOfFileKeyAtAPromptIsNotTheEndOfInput) {
    TempDir dir;
    Session s = start_editor(dir, std::string(900, 'z'));
    s.send("g");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 36}; }));
    s.send("\x04");
    s.send("3\r");
    ASSERT_TRUE(wait_message(s, "At requested sector"));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 3/4");
    EXPECT_TRUE(s.running());
}

}  // namespace
}  // namespace fenk_test
