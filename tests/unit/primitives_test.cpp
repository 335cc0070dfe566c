// Byte-exact checks of the screen primitives and the key readers, in-process over the
// terminal layer's memory mode.
#include "screen/primitives.h"

#include <gtest/gtest.h>

#include "control/keys.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

std::string capture(void (*write)()) {
    terminal::use_memory("");
    write();
    return terminal::take_output();
}

TEST(Primitives, WriteTheirExactBytes) {
    struct Case {
        void (*write)();
        std::string bytes;
    };
    const Case cases[] = {
        {[] { screen::move_cursor(19, 14); }, "\x1b[19;14H"},
        {[] { screen::move_cursor(3, 4); }, "\x1b[3;4H"},
        {screen::clear_screen, "\x1b[H\x1b[2J"},
        {screen::set_bold, "\x1b[1m"},
        {screen::set_blink, "\x1b[5m"},
        {screen::set_reverse, "\x1b[7m"},
        {screen::set_normal, "\x1b[0m"},
        {screen::line_drawing_on, std::string{27, '(', '0', 27, '1'}},
        {screen::line_drawing_off, std::string{27, '(', 'B', 27, '2'}},
        {screen::ring_bell, "\a"},
        {screen::home_message, "\x1b[19;14H"},
        {screen::clear_message, "\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14H"},
        {[] { screen::show_message("Undo!"); },
         "\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14HUndo!\x1b[19;14H"},
        {[] { screen::print_hex_pair(10); }, "0A"},
        {[] { screen::print_hex_pair(255); }, "FF"},
    };
    for (const Case& c : cases) EXPECT_EQ(capture(c.write), c.bytes);
}

struct KeyCase {
    std::string input;
    Key name;
    std::uint8_t second;
    std::uint8_t final_byte;
    std::int32_t length;
    int next;  // the byte read after the key
};

TEST(ReadKey, ReadsWholeSequencesAndNamesTheKeysTheLoopsActOn) {
    const KeyCase cases[] = {
        {"qx", Key::byte, 0, 0, 1, 'x'},
        {std::string("\0x", 2), Key::byte, 0, 0, 1, 'x'},
        {"\x1b[Ax", Key::up, '[', 'A', 3, 'x'},
        {"\x1b[Bx", Key::down, '[', 'B', 3, 'x'},
        {"\x1bOCx", Key::right, 'O', 'C', 3, 'x'},  // cursor keys in application mode
        {"\x1bODx", Key::left, 'O', 'D', 3, 'x'},
        {"\x1b[5~x", Key::page_up, '[', '~', 4, 'x'},
        {"\x1b[6~x", Key::page_down, '[', '~', 4, 'x'},
        {"\x1b[Hx", Key::home, '[', 'H', 3, 'x'},
        {"\x1b[1~x", Key::home, '[', '~', 4, 'x'},
        {"\x1bOHx", Key::home, 'O', 'H', 3, 'x'},
        {"\x1b[Fx", Key::end, '[', 'F', 3, 'x'},
        {"\x1b[4~x", Key::end, '[', '~', 4, 'x'},
        {"\x1bOFx", Key::end, 'O', 'F', 3, 'x'},
        {"\x1b[1;5Ax", Key::other, '[', 'A', 6, 'x'},  // Ctrl-Up is no arrow
        {"\x1b[15~x", Key::other, '[', '~', 5, 'x'},   // F5
        {"\x1b[2~x", Key::other, '[', '~', 4, 'x'},    // Insert
        {"\x1b[5;2~x", Key::other, '[', '~', 6, 'x'},
        {"\x1bOPx", Key::other, 'O', 'P', 3, 'x'},       // F1
        {"\x1bO\x1bx", Key::other, 'O', 27, 2, 27},      // the ESC starts the next key
        {"\x1b[2 qx", Key::other, '[', 'q', 5, 'x'},     // an intermediate byte
        {"\x1b[Zx", Key::other, '[', 'Z', 3, 'x'},       // back-tab
        {"\x1b[1\x01x", Key::other, '[', 1, 4, 'x'},     // malformed: the bad byte is taken
        {"\x1b[ 5~", Key::other, '[', '5', 4, '~'},      // a parameter after an intermediate
        {"\x1b[\x1b[Ax", Key::other, '[', 27, 2, 27},    // ESC inside a sequence breaks it
        {"\x1b[1;\x1bOAx", Key::other, '[', 27, 4, 27},  // and starts the next key
        {"\x1b[\xc1x", Key::other, '[', 0xc1, 3, 'x'},
        {"\x1bqx", Key::escape, 'q', 0, 1, 'q'},   // the q is read again as the next key
        {"\x1b\x1bx", Key::escape, 27, 0, 1, 27},  // ESC ESC: the second ESC starts a new key
        {"\x1bPx", Key::escape, 'P', 0, 1, 'P'},
    };
    for (const KeyCase& c : cases) {
        terminal::use_memory(c.input);
        KeyRecord key;
        read_key(key);
        EXPECT_EQ(key.name, c.name) << c.input;
        EXPECT_EQ(key.first, c.name == Key::byte ? c.input[0] : 27) << c.input;
        EXPECT_EQ(key.second, c.second) << c.input;
        EXPECT_EQ(key.final_byte, c.final_byte) << c.input;
        EXPECT_EQ(key.length, c.length) << c.input;
        EXPECT_EQ(terminal::next_byte(), c.next) << c.input;
        EXPECT_EQ(terminal::take_output(), "\x1b[0m") << "set_normal after every key";
    }
}

TEST(ReadKey, ASequenceOfAnyLengthIsOneKey) {
    terminal::use_memory("\x1b[" + std::string(100000, '1') + "~x");
    KeyRecord key;
    read_key(key);
    EXPECT_EQ(key.name, Key::other);
    EXPECT_EQ(key.length, 100003);
    EXPECT_EQ(terminal::next_byte(), 'x');
}

TEST(AskToGoOn, OneWholeKeyAnswersAndOnlyALowerCaseYGoesOn) {
    const std::string question = "File modified, Ok to load?";
    const std::string shown =
        "\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14H" + question + "\x1b[19;14H\x1b[19;41H";
    const std::string declined =
        "\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14HReturning to command mode\x1b[19;14H";
    const std::pair<std::string, bool> cases[] = {
        {"yx", true},       {"Yx", false},         {"nx", false},        {"\x1b[Ax", false},
        {"\x1bOAx", false}, {"\x1b[1;5Ax", false}, {"\x1b[15~x", false},
    };
    for (const auto& [answer, goes_on] : cases) {
        terminal::use_memory(answer);
        EXPECT_EQ(ask_to_go_on(question.c_str()), goes_on) << answer;
        EXPECT_EQ(terminal::take_output(),
                  shown + "\x1b[0m\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14H" +
                      (goes_on ? "" : declined.substr(declined.find("Returning"))))
            << answer;
        EXPECT_EQ(terminal::next_byte(), 'x') << "nothing of the answer is left: " << answer;
    }
    // ESC and a key: the ESC declines, and the key is read again afterwards, as in the loop.
    terminal::use_memory("\x1byx");
    EXPECT_FALSE(ask_to_go_on(question.c_str()));
    EXPECT_EQ(terminal::next_byte(), 'y');
}

TEST(ReadAnswer, WaitsThroughBlankLinesAndTrimsTheAnswer) {
    struct Case {
        std::string input;
        LineRead outcome;
        std::string answer;
    };
    const Case cases[] = {
        {"abc\nX", LineRead::ok, "abc"},
        {"\n \t\n  a b.c \t\nX", LineRead::ok, "a b.c"},  // blanks inside are kept
        {std::string(" a\0b \nX", 7), LineRead::ok, std::string("a\0b", 3)},
        {"12345678\nX", LineRead::ok, "12345678"},
        {"  12345678" + std::string(50, ' ') + "\nX", LineRead::ok, "12345678"},
        {"123456789\nX", LineRead::too_long, ""},
        {"1234567 9 \nX", LineRead::too_long, ""},
        {"\r 12 \rX", LineRead::ok, "12"},  // a Return typed ahead, before line input
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 8> buffer{};
        std::int32_t length = -1;
        terminal::use_memory(c.input);
        EXPECT_EQ(read_answer(buffer, length), c.outcome) << c.input;
        if (c.outcome == LineRead::ok) {
            EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + length), c.answer) << c.input;
        } else {
            EXPECT_EQ(length, -1) << c.input;
        }
        EXPECT_EQ(terminal::next_byte(), 'X') << "the whole line is consumed: " << c.input;
    }
}

TEST(ReadLine, KeepsBlanksAndZeroBytesAndRefusesLongLines) {
    std::array<std::uint8_t, 4> buffer{};
    std::int32_t length = -1;
    terminal::use_memory(std::string(" a\0b\nX", 6));
    EXPECT_EQ(read_line(buffer, length), LineRead::ok);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(" a\0b", 4));
    EXPECT_EQ(terminal::next_byte(), 'X');

    terminal::use_memory("ab\rX");  // a Return typed ahead, before line input
    EXPECT_EQ(read_line(buffer, length), LineRead::ok);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(terminal::next_byte(), 'X');

    terminal::use_memory("abcde\nY");
    EXPECT_EQ(read_line(buffer, length), LineRead::too_long);
    EXPECT_EQ(terminal::next_byte(), 'Y') << "the rest of the long line is consumed";
}

}  // namespace
}  // namespace fenk
