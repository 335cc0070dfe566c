// The command loop on the real binary: every row of its dispatch table in lower and upper case,
// whole escape sequences (also when their bytes come one by one), the repaint key and the
// exit question.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "../model/edit_model.h"
#include "editor_session.h"

namespace fenk_test {
namespace {

using fenk_model::describe_key;

const std::string ASC_MODE = "ASC editing mode.  ESC twice returns to command mode";

// Sends a key with a known answer, so that the next wait cannot be met by an older message.
void reset_message(Session& s, bool interrupt_key = true) {
    s.send(interrupt_key ? "\x03" : "x");
    ASSERT_TRUE(wait_message(s, interrupt_key ? "Hit 'Q' to exit" : "Not a valid command"));
}

struct CommandCase {
    std::string key;
    int row;              // where the command first shows itself; 0: it only leaves its message
    std::string shown;    // what it shows there (a prompt, a mode's message, the chart)
    std::string answer;   // what the user types then
    std::string message;  // the message it leaves
};

TEST(CommandLoop, EveryCommandKeyInLowerAndUpperCase) {
    TempDir dir;
    Session s = start_editor(dir, "..abc...............");
    const std::string path = dir.file("f.bin");
    const std::string prompt = "Enter string to locate ($num for hex):";
    const std::vector<CommandCase> cases = {
        {"\x03", 0, "", "", "Hit 'Q' to exit"},
        {"a", 19, ASC_MODE, "\x1b\x1b", "Returning to command mode"},
        {"h", 19, "HEX editing mode.  ESC twice returns to command mode", "\x1b\x1b",
         "Returning to command mode"},
        {"u", 0, "", "", "Nothing to undo"},
        {"c", 0, "", "", "No search to continue"},
        {"g", 19, "Enter sector to goto:", "1\r", "At requested sector"},
        {"j", 19, "Enter byte to jump to:", "3\r", "At sector of requested byte"},
        {"l", 19, "Enter complete path to file", path + "\r", "Image loaded, filesize= 20 bytes"},
        {"s", 19, "Enter save-file, return for " + path, "\r", "File saved"},
        {">", 19, prompt, "abc\r", "String found"},
        {"<", 19, prompt, "zzz\r", "String not found"},
        {"t", 24, "  Hit space to continue", " ", "Waiting for command"},
    };
    for (const CommandCase& c : cases) {
        std::vector<std::string> keys = {c.key};
        const char upper = static_cast<char>(std::toupper(c.key[0]));
        if (upper != c.key[0]) keys.emplace_back(1, upper);
        for (const std::string& key : keys) {
            SCOPED_TRACE("key " + key);
            reset_message(s, c.key != "\x03");
            s.send(key);
            if (c.row != 0) {
                ASSERT_TRUE(s.wait_for_text(c.row, c.row == 24 ? 1 : 14, c.shown));
                s.send(c.answer);
            }
            ASSERT_TRUE(wait_message(s, c.message));
        }
    }
}

TEST(CommandLoop, EveryOtherByteIsNotAValidCommand) {
    const std::string commands = "\x03\x0c\x1b<>ACGHJLQSTUacghjlqstu";
    Session s = start_empty_editor();
    for (int byte = 0; byte < 256; ++byte) {
        if (commands.find(static_cast<char>(byte)) != std::string::npos) continue;
        SCOPED_TRACE("byte " + std::to_string(byte));
        reset_message(s);
        s.send(std::string(1, static_cast<char>(byte)));
        ASSERT_TRUE(wait_message(s, "Not a valid command"));
    }
}

TEST(CommandLoop, QuitKeysEndTheProgramAtOnceWithoutEdits) {
    for (const std::string keys : {"q", "Q", "\x1bq"}) {
        SCOPED_TRACE(keys);
        Session s = start_empty_editor();
        s.send(keys);
        ASSERT_TRUE(s.wait_exit_status(0));
        EXPECT_TRUE(s.transcript_contains("\x1b[1mExiting...\x1b[0m\x1b[H\x1b[2J"));
    }
}

// A complete sequence that names no key of the loop is one key, dropped without a word:
// after it only the set_normal that follows every key, then Ctrl-C's own answer.
TEST(CommandLoop, EscapeSequencesThatNameNoKeyAreDroppedWhole) {
    const std::string dropped[] = {"\x1b[Z",    "\x1b[2~",   "\x1b[15~",   "\x1b[24~",
                                   "\x1b[1;5A", "\x1b[1;2H", "\x1bOP",     "\x1bOx",
                                   "\x1bO\x7f", "\x1b[2 q",  "\x1b[?1;2c", "\x1b[1\x01",
                                   "\x1b[\x80", "\x1b[1 2"};  // the last three malformed: ended by
                                                              // the bad byte
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'z'));
    for (const std::string& sequence : dropped) {
        SCOPED_TRACE(describe_key(sequence));
        reset_message(s, false);
        const std::size_t mark = s.transcript_size();
        s.send(sequence + "\x03");
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        EXPECT_EQ(s.transcript().substr(mark), "\x1b[0m\x1b[0m" + message_bytes("Hit 'Q' to exit"));
    }
    // The bad byte of a malformed sequence goes with it; what follows is a key again.
    reset_message(s);
    s.send("\x1b[1\x01\x1b[B");
    ASSERT_TRUE(wait_message(s, "Moving forward one block"));

    // ESC ESC: the first is dropped, the second starts the next key.
    reset_message(s);
    std::size_t mark = s.transcript_size();
    s.send("\x1b\x1b[B");
    ASSERT_TRUE(wait_message(s, "Moving forward one block"));
    EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 3/3");

    // ESC and another byte: the ESC is dropped, the byte is a key (ESC P: P is none).
    reset_message(s);
    s.send("\x1bP");
    ASSERT_TRUE(wait_message(s, "Not a valid command"));
}

// Keys whose last byte once ran as a command (Ctrl-Up, Up and Home in application mode,
// F5, and F1 and F3 of the Linux console, ESC [ [ A and ESC [ [ C): none starts a mode,
// a search or writes a byte, so Q then ends at once and the file is whole.
TEST(CommandLoop, NoSequenceStartsAModeOrChangesAByte) {
    TempDir dir;
    const std::string bytes = "abcdefghij";
    Session s = start_editor(dir, bytes);
    const std::size_t mark = s.transcript_size();
    s.send("\x1b[1;5A\x1bOA\x1bOH\x1b[15~\x1b[1;5H\x1b[[A\x1b[[Cxy");
    ASSERT_TRUE(wait_message(s, "Not a valid command"));
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_FALSE(s.transcript_contains("editing mode", mark));
    EXPECT_FALSE(s.transcript_contains("No search to continue", mark));
    EXPECT_EQ(read_file(dir.file("f.bin")), bytes);
}

// An ESC ends an unfinished sequence (Alt-[ and Alt-O send ESC [ and ESC O) and starts
// the next key, so an arrow pressed after one stays whole: none of its bytes runs as a
// command, and nothing enters an edit mode.
TEST(CommandLoop, AnEscInsideASequenceStartsTheNextKey) {
    TempDir dir;
    const std::string bytes = "abcdefghij";
    Session s = start_editor(dir, bytes);
    const std::size_t mark = s.transcript_size();
    s.send("\x1b[\x1b[A\x1bO\x1b[A\x1b[1;\x1bOH\x1b[\x1b\x1b[Dx");
    ASSERT_TRUE(wait_message(s, "Not a valid command"));
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(s.transcript_contains("Already at begining of data", mark));
    EXPECT_TRUE(s.transcript_contains("At begining of data", mark));
    EXPECT_FALSE(s.transcript_contains("editing mode", mark));
    EXPECT_EQ(read_file(dir.file("f.bin")), bytes);
}

// There is no time-out after ESC: a sequence whose bytes come one by one, with pauses,
// acts exactly like one that comes at once, and nothing happens before its last byte.
TEST(CommandLoop, SequenceWhoseBytesArriveOneByOneActsAsOne) {
    using namespace std::chrono_literals;
    struct Case {
        std::string sequence;
        std::string message;  // its own message; empty for a sequence that is dropped
        std::string sector;
    };
    const Case cases[] = {
        {"\x1b[B", "Moving forward one block", "Sector: 2/3"},
        {"\x1b[6~", "Moving forward one block", "Sector: 3/3"},
        {"\x1bOA", "Moving backward one block", "Sector: 2/3"},
        {"\x1b[1~", "At begining of data", "Sector: 1/3"},
        {"\x1b[1;5B", "", "Sector: 1/3"},
        {"\x1b[15~", "", "Sector: 1/3"},
    };
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'z'));
    for (const Case& c : cases) {
        SCOPED_TRACE(describe_key(c.sequence));
        reset_message(s, false);
        const std::size_t mark = s.transcript_size();
        for (std::size_t i = 0; i + 1 < c.sequence.size(); ++i) {
            s.send(c.sequence.substr(i, 1));
            ASSERT_TRUE(s.wait_quiet(100ms));
            EXPECT_EQ(message_text(s), "Not a valid command");
        }
        s.send(c.sequence.substr(c.sequence.size() - 1) + "\x03");
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        if (!c.message.empty()) {
            EXPECT_TRUE(s.transcript_contains(c.message, mark));
        }
        EXPECT_EQ(s.transcript().find("Not a valid command", mark), std::string::npos);
        EXPECT_EQ(s.text(16, 31, 11), c.sector);
    }
}

TEST(CommandLoop, CtrlLRepaintsTheWholeScreenThenWaitsForCommand) {
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'z'));
    s.send("\x1b[B");
    ASSERT_TRUE(wait_message(s, "Moving forward one block"));
    std::vector<std::string> before;
    for (int row = 1; row <= 24; ++row) before.push_back(s.row_text(row));

    const std::size_t mark = s.transcript_size();
    s.send("\x0c");
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    EXPECT_EQ(s.transcript().compare(mark, 11, "\x1b[0m\x1b[H\x1b[2J"), 0) << s.dump();
    for (int row = 1; row <= 24; ++row) {
        if (row == 19) continue;
        EXPECT_EQ(s.row_text(row), before[static_cast<std::size_t>(row - 1)]) << row;
    }
}

// The answer is one whole key: an arrow or any other sequence declines as one key, and
// nothing of it runs as a command afterwards. ESC and a byte decline with the ESC; the
// byte is then a key, as in the loop.
TEST(CommandLoop, ExitQuestionOnlyALowerCaseYLeaves) {
    TempDir dir;
    Session s = start_editor(dir, "abcd");
    s.send("a");
    ASSERT_TRUE(s.wait_for_text(19, 14, ASC_MODE));
    s.send("z\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));

    const std::string declines[] = {"n",         "Y",       "\r",       "\x1b[A", "\x1bOA",
                                    "\x1b[1;5A", "\x1b[6~", "\x1b[15~", "\x1bOP", "\x1by"};
    for (const std::string& key : declines) {
        SCOPED_TRACE(describe_key(key));
        const std::size_t mark = s.transcript_size();
        ASSERT_TRUE(answer_question(s, "q", "File modified, Ok to exit?", key));
        EXPECT_TRUE(s.transcript_contains("Returning to command mode", mark));
        EXPECT_EQ(s.transcript_contains("Not a valid command", mark), key == "\x1by");
        EXPECT_FALSE(s.transcript_contains("editing mode", mark));
        EXPECT_FALSE(s.transcript_contains("No search to continue", mark));
        EXPECT_TRUE(s.running());
        EXPECT_EQ(s.text(3, 55, 1), "z") << "the image is kept";
    }
    s.send("q");
    ASSERT_TRUE(s.wait_for_text(19, 14, "File modified, Ok to exit?"));
    s.send("y");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_TRUE(s.transcript_contains("\x1b[1mExiting...\x1b[0m\x1b[H\x1b[2J"));
    EXPECT_EQ(read_file(dir.file("f.bin")), "abcd") << "nothing saved on the way out";
}

}  // namespace
}  // namespace fenk_test
