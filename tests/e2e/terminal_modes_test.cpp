// The two input modes on a real pseudo-terminal: what the driver is set to, and what a user
// sees of it (keys reaching the editor unchanged, echo and line editing at a prompt, newlines
// starting the next row), plus the output buffering that keeps a paste from costing a write
// per key.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "editor_session.h"

namespace fenk_test {
namespace {

bool all_set(tcflag_t flags, tcflag_t wanted) { return (flags & wanted) == wanted; }

// How many write() calls the process has made so far.
long write_calls(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string field;
    long value = -1;
    while (io >> field >> value) {
        if (field == "syscw:") return value;
    }
    ADD_FAILURE() << "no syscw in /proc/" << pid << "/io";
    return -1;
}

std::size_t occurrences(const std::string& haystack, std::string_view needle, std::size_t from) {
    std::size_t count = 0;
    for (std::size_t at = haystack.find(needle, from); at != std::string::npos;
         at = haystack.find(needle, at + needle.size()))
        ++count;
    return count;
}

TEST(KeyMode, DriverPassesEveryByteAtOnceWithoutEchoOrSignals) {
    Session s = start_empty_editor();
    const termios modes = s.child_termios();
    EXPECT_EQ(modes.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(modes.c_iflag & (IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT), 0u);
    EXPECT_EQ(modes.c_cc[VMIN], 1);
    EXPECT_EQ(modes.c_cc[VTIME], 0);
    EXPECT_TRUE(all_set(modes.c_oflag, OPOST | ONLCR));

    // Ctrl-C arrives as a key, not as a signal that would flush it away.
    s.send("\x03");
    ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
    // No echo: the x never shows up in what the terminal receives.
    const std::size_t mark = s.transcript_size();
    s.send("x");
    ASSERT_TRUE(wait_message(s, "Not a valid command"));
    EXPECT_EQ(s.transcript().find('x', mark), std::string::npos) << s.dump();
}

TEST(KeyMode, ControlBytesReachTheImageUnchanged) {
    // Every byte the driver could act on in key mode: NUL, interrupt, EOF, LF, CR, discard,
    // start and stop, reprint, kill, literal-next, word-erase, suspend, quit, erase.
    const std::string keys("\x00\x03\x04\n\r\x0f\x11\x13\x12\x15\x16\x17\x1a\x1c\x7f", 15);
    TempDir dir;
    Session s = start_editor(dir, std::string(20, '.'));
    s.send("A");
    ASSERT_TRUE(s.wait_for_text(19, 14, "ASC editing mode.  ESC twice returns to command mode"));
    s.send(keys);  // in one write, as a paste would come
    s.send("\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
    s.send("S");
    ASSERT_TRUE(s.wait_for_text(19, 14, "Enter save-file, return for "));
    s.send("\r");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file("f.bin")), keys + std::string(20 - keys.size(), '.'));
}

TEST(LineMode, PromptEchoesEditsTheLineAndEndsItAtReturn) {
    TempDir dir;
    Session s = start_editor(dir, std::string(900, 'z'));
    s.send("g");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 36}; }));
    const termios modes = s.child_termios();
    EXPECT_TRUE(all_set(modes.c_lflag, ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN));
    EXPECT_TRUE(all_set(modes.c_iflag, ICRNL));
    EXPECT_TRUE(all_set(modes.c_oflag, OPOST | ONLCR));

    s.send("37");
    ASSERT_TRUE(s.wait_for_text(19, 36, "37"));
    s.send(std::string(1, static_cast<char>(modes.c_cc[VERASE])));
    ASSERT_TRUE(s.wait_until([&] { return s.text(19, 36, 2) == "3 "; })) << "erase char";
    s.send("\r");  // what Return sends; the driver hands it over as byte 10
    ASSERT_TRUE(wait_message(s, "At requested sector"));
    EXPECT_EQ(s.text(16, 31, 11), "Sector: 3/4");
    EXPECT_EQ(s.child_termios().c_lflag & (ICANON | ECHO), 0u) << "back in key mode";
}

// A key pressed as soon as the answer's message shows must already meet key mode: in line mode
// the driver would echo it into the message field and turn Ctrl-C into a signal, losing the key.
// The window is short, so the prompt is answered many times.
TEST(KeyMode, IsBackBeforeTheMessageAfterAPromptShows) {
    TempDir dir;
    Session s = start_editor(dir, std::string(900, 'z'));
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        s.send("g");
        ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 36}; }));
        s.send("2\r");
        ASSERT_TRUE(wait_message(s, "At requested sector"));
        s.send("\x03");
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
    }
}

TEST(LineMode, NewlinesOfTheFrameStartTheNextRowAtColumnOne) {
    Session s = start_empty_editor();
    EXPECT_EQ(s.text(17, 1, 12), "   Filespec:");
    EXPECT_EQ(s.text(19, 1, 12), "   Messages:");
    EXPECT_EQ(s.text(20, 1, 3), " ┌─");
    EXPECT_EQ(s.text(24, 1, 3), " └─");
    EXPECT_EQ(s.text(24, 76, 1), "┘");
}

TEST(Output, AFastStreamOfKeysIsWrittenInAFewLargeWrites) {
    constexpr int keys = 500;
    Session s = start_empty_editor();
    const long before = write_calls(s.pid());
    const std::size_t mark = s.transcript_size();
    s.send(std::string(keys - 1, 'x') + "\x03");
    ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
    EXPECT_EQ(occurrences(s.transcript(), "Not a valid command", mark),
              static_cast<std::size_t>(keys - 1));
    const long writes = write_calls(s.pid()) - before;
    EXPECT_LT(writes, keys / 10) << "one write per key or nearly";
}

}  // namespace
}  // namespace fenk_test
