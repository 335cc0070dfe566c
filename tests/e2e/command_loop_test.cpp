// The command loop on the real binary: every row of its dispatch table in lower and upper case,
// the escape-sequence rules, the repaint key and the exit question.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "editor_session.h"

namespace fenk_test {
namespace {

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

TEST(CommandLoop, EscapeSequencesThatAreNotArrowsAreDroppedSilently) {
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'z'));
    // ESC [ Z: nothing but the set_normal that follows every key.
    reset_message(s, false);
    std::size_t mark = s.transcript_size();
    s.send("\x1b[Z\x03");
    ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
    EXPECT_EQ(s.transcript().substr(mark), "\x1b[0m\x1b[0m" + message_bytes("Hit 'Q' to exit"));

    // ESC [ 2 ~: the 2 is used up with the ESC, the ~ is a key of its own.
    mark = s.transcript_size();
    s.send("\x1b[2~");
    ASSERT_TRUE(wait_message(s, "Not a valid command"));
    EXPECT_EQ(s.transcript().substr(mark), "\x1b[0m\x1b[0m" + message_bytes("Not a valid command"));

    // ESC ESC: the first is dropped, the second starts the next key.
    mark = s.transcript_size();
    s.send("\x1b\x1b[B");
    ASSERT_TRUE(wait_message(s, "Moving forward one block"));
    EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 2/3");

    // ESC O A, an arrow in application mode: O is not a command, A starts the text edit mode.
    mark = s.transcript_size();
    s.send("\x1bOA");
    ASSERT_TRUE(s.wait_for_text(19, 14, ASC_MODE));
    EXPECT_TRUE(s.transcript_contains("Not a valid command", mark));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 2/3");
}

TEST(CommandLoop, ArrowWhoseBytesArriveOneByOneActsAsOne) {
    using namespace std::chrono_literals;
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'z'));
    reset_message(s);
    const std::size_t mark = s.transcript_size();
    for (const char* part : {"\x1b", "["}) {
        s.send(part);
        ASSERT_TRUE(s.wait_quiet(100ms));
        EXPECT_EQ(message_text(s), "Hit 'Q' to exit");
    }
    s.send("B");
    ASSERT_TRUE(wait_message(s, "Moving forward one block"));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 2/3");
    EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
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

TEST(CommandLoop, ExitQuestionOnlyALowerCaseYLeaves) {
    TempDir dir;
    Session s = start_editor(dir, "abcd");
    s.send("a");
    ASSERT_TRUE(s.wait_for_text(19, 14, ASC_MODE));
    s.send("z\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));

    struct Answer {
        std::string key;
        std::string message;  // the message after the answer and the keys that follow it
    };
    // An arrow's ESC declines; its [ and A come in as keys of their own.
    const Answer declines[] = {{"n", "Returning to command mode"},
                               {"Y", "Returning to command mode"},
                               {"\x1b[A", ASC_MODE}};
    for (const Answer& a : declines) {
        SCOPED_TRACE(a.key);
        const std::size_t mark = s.transcript_size();
        s.send("q");
        ASSERT_TRUE(s.wait_until([&] {
            return message_text(s) == "File modified, Ok to exit?" &&
                   s.cursor() == std::pair{19, 41};
        }));
        s.send(a.key);
        ASSERT_TRUE(s.wait_for_text(19, 14, a.message));
        EXPECT_TRUE(s.running());
        EXPECT_EQ(s.text(3, 55, 1), "z") << "the image is kept";
        if (a.key.size() > 1) {
            EXPECT_TRUE(s.transcript_contains("Not a valid command", mark));
            s.send("\x1b\x1b");
            ASSERT_TRUE(wait_message(s, "Returning to command mode"));
        }
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
