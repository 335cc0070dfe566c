// The terminal left as it was found: start-up asks for the conformance level before it
// selects VT100, and every exit puts the reported level back after the final clear. The
// answers arrive as input, also late, split and among typed keys, and never act as keys.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "editor_session.h"

namespace fenk_test {
namespace {

using namespace std::chrono_literals;

const std::string CLEAR = "\x1b[H\x1b[2J";
const std::string LEVEL_CONTROL = "\x1b[61\"p";
// What follows curses' own shutdown: G1 back to the ordinary set, then the level.
const std::string G1_ORDINARY = "\x1b)B";
const std::string XTERM_LEVEL_BACK = "\x1b[64;1\"p";

const std::string LEVEL(xterm_level_reply);
const std::string ATTRIBUTES(xterm_attributes_reply);

// What the editor wrote after its last clear of the screen.
std::string after_final_clear(const Session& s) {
    const std::size_t clear = s.transcript().rfind(CLEAR);
    if (clear == std::string::npos) return "(no clear)";
    return s.transcript().substr(clear + CLEAR.size());
}

testing::AssertionResult ends_with(const std::string& bytes, const std::string& end) {
    if (bytes.ends_with(end)) return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << testing::PrintToString(bytes) << " does not end with " << testing::PrintToString(end);
}

SessionOptions unanswered() {
    SessionOptions options;
    options.query_answers = QueryAnswers::never;
    return options;
}

TEST(TerminalLevel, AskedBeforeTheLevelControlAndPutBackAfterTheFinalClearOnEveryExit) {
    struct Case {
        const char* what;
        std::string edit;  // keys that leave the image modified, or nothing
        std::string quit;  // keys that end the editor, or nothing for a signal
        int signal;        // the terminating signal sent instead, or 0
        std::string last;  // what the editor writes after the level: its line on stderr
    };
    const Case cases[] = {
        {"Q without edits", "", "q", 0, ""},
        {"Q with edits, answered y", "h4\x1b\x1b", "qy", 0, ""},
        {"SIGTERM with edits", "h4\x1b\x1b", "", SIGTERM,
         "fenk: SIGTERM received; unsaved edits written to f.bin.save\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        SessionOptions options;
        options.working_dir = dir.path();
        dir.write_file("f.bin", "abc");
        Session s = Session::fenk({"f.bin"}, options);
        ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 3 bytes"));
        EXPECT_EQ(s.transcript().find(std::string(level_query) + std::string(attributes_query) +
                                      LEVEL_CONTROL),
                  0u)
            << s.dump();
        s.send(c.edit);
        if (!c.edit.empty()) {
            ASSERT_TRUE(wait_message(s, "Returning to command mode"));
        }
        s.send(c.quit);
        if (c.signal != 0) s.signal(c.signal);
        ASSERT_TRUE(s.wait_exit_status(c.signal != 0 ? 128 + c.signal : 0));
        EXPECT_TRUE(ends_with(after_final_clear(s), G1_ORDINARY + XTERM_LEVEL_BACK + c.last));
    }
}

// The curses library's shutdown designates line drawing as G1; the editor puts the ordinary
// set back, so that a Shift-Out byte written later shows letters, not line pieces. The
// exit leaves the screen cleared: neither control shows anything.
TEST(TerminalLevel, ExitLeavesG1TheOrdinarySet) {
    Session s({"/bin/sh", "-c", "\"$0\"; printf '\\016lqk\\017'", FENK_BINARY});
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(s.row_text(24), "lqk" + std::string(77, ' ')) << s.dump();
    for (int row = 1; row < 24; ++row) EXPECT_EQ(s.row_text(row), std::string(80, ' '));
}

// Standard input is a second terminal, whose loss ends the editor while its screen is
// still there to show what the exit wrote.
TEST(TerminalLevel, PutBackWhenTheInputTerminalIsLost) {
    int input_master = -1;
    int input_slave = -1;
    char input_name[256] = {};
    ASSERT_EQ(openpty(&input_master, &input_slave, input_name, nullptr, nullptr), 0);
    Session s({"/bin/sh", "-c", "exec \"$0\" <\"$1\"", FENK_BINARY, input_name}, unanswered());
    close(input_slave);
    ASSERT_TRUE(s.wait_until([&] { return s.transcript_contains(attributes_query); }));
    const std::string answers = LEVEL + ATTRIBUTES;
    ASSERT_EQ(write(input_master, answers.data(), answers.size()),
              static_cast<ssize_t>(answers.size()));
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    close(input_master);
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(ends_with(after_final_clear(s), G1_ORDINARY + XTERM_LEVEL_BACK));
}

TEST(TerminalLevel, WithoutAnAnswerNothingIsPutBackAndStartUpWaitsOnlyBriefly) {
    const auto start = std::chrono::steady_clock::now();
    Session s = start_empty_editor(unanswered());
    const auto waited = std::chrono::steady_clock::now() - start;
    // The wait is bounded at 100 ms; this only catches a start-up that waits on and on.
    EXPECT_LT(waited, Session::default_timeout() / 5);
    EXPECT_TRUE(s.transcript_contains(LEVEL_CONTROL));
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    const std::string tail = after_final_clear(s);
    EXPECT_TRUE(ends_with(tail, G1_ORDINARY));
    EXPECT_EQ(tail.find("\"p"), std::string::npos) << testing::PrintToString(tail);
}

// Keys typed while start-up waits for the answers, before and between them, act in order
// once the screen is up.
TEST(TerminalLevel, KeysTypedAmongTheAnswersAtStartActInOrder) {
    Session s = Session::fenk({}, unanswered());
    ASSERT_TRUE(s.wait_until([&] { return s.transcript_contains(attributes_query); }));
    s.send("\x03" + LEVEL + "x" + ATTRIBUTES + "\x03");
    const std::string expected = message_bytes("Waiting for command") + "\x1b[0m" +
                                 message_bytes("Hit 'Q' to exit") + "\x1b[0m" +
                                 message_bytes("Not a valid command") + "\x1b[0m" +
                                 message_bytes("Hit 'Q' to exit");
    ASSERT_TRUE(s.wait_until([&] { return s.transcript().ends_with(expected); }));
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(ends_with(after_final_clear(s), G1_ORDINARY + XTERM_LEVEL_BACK));
}

// Answers that come after the wait, split over several writes between the user's keys
// (arrow keys included, which start like an answer), leave exactly the output that the
// keys alone give; the late level report is still put back at the exit.
TEST(TerminalLevel, LateAnswersSplitAmongKeysNeverActAsKeys) {
    struct Step {
        std::string keys;  // the keys alone
        std::string late;  // the keys with the answers' pieces
        std::string message;
    };
    const std::vector<Step> steps = {
        {"\x1b[B", "\x1b[B" + LEVEL.substr(0, 5), "Moving forward one block"},
        {"\x03", LEVEL.substr(5) + "\x03" + ATTRIBUTES.substr(0, 6), "Hit 'Q' to exit"},
        {"\x1b[Ax", ATTRIBUTES.substr(6) + "\x1b[Ax", "Not a valid command"},
    };
    TempDir dir;
    Session plain = start_editor(dir, std::string(600, 'z'), "plain.bin");
    const std::string path = dir.write_file("late.bin", std::string(600, 'z'));
    Session late = Session::fenk({path}, unanswered());
    ASSERT_TRUE(wait_message(late, "Image loaded, filesize= 600 bytes"));
    const std::size_t plain_mark = plain.transcript_size();
    const std::size_t late_mark = late.transcript_size();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.message);
        plain.send(step.keys);
        late.send(step.late);
        ASSERT_TRUE(wait_message(plain, step.message));
        ASSERT_TRUE(wait_message(late, step.message));
    }
    EXPECT_EQ(late.transcript().substr(late_mark), plain.transcript().substr(plain_mark));
    late.send("q");
    ASSERT_TRUE(late.wait_exit_status(0));
    EXPECT_TRUE(ends_with(after_final_clear(late), G1_ORDINARY + XTERM_LEVEL_BACK));
}

// A terminal that never answers leaves the filter waiting for answers for good; an ESC
// that ends what was read still acts at once, so ESC twice leaves an edit mode without
// a third key.
TEST(TerminalLevel, WithoutAnAnswerEscTwiceStillLeavesAnEditMode) {
    TempDir dir;
    const std::string path = dir.write_file("f.bin", std::string(600, 'z'));
    Session s = Session::fenk({path}, unanswered());
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 600 bytes"));
    s.send("h");
    ASSERT_TRUE(s.wait_for_text(19, 14, "HEX editing mode.  ESC twice returns to command mode"));
    s.send("\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
}

}  // namespace
}  // namespace fenk_test
