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
    KeyRecord key;
    int next;  // the byte read after the key
};

TEST(ReadKey, DecodesEscapeSequencesAndPushesBackTheRest) {
    const KeyCase cases[] = {
        {"qx", {'q', 0, 0}, 'x'},
        {"\x1b[Ax", {27, '[', 'A'}, 'x'},
        {"\x1bqx", {27, 'q', 0}, 'q'},     // the q is read again as the next key
        {"\x1b\x1bx", {27, 27, 0}, 27},    // ESC ESC: the second ESC starts a new key
        {"\x1bOAx", {27, 'O', 0}, 'O'},    // application-mode arrows are not arrows
        {"\x1b[2~", {27, '[', '2'}, '~'},  // the rest of a longer sequence stays unread
        {std::string("\0x", 2), {0, 0, 0}, 'x'},
    };
    for (const KeyCase& c : cases) {
        terminal::use_memory(c.input);
        KeyRecord key;
        read_key(key);
        EXPECT_EQ(key.first, c.key.first) << c.input;
        EXPECT_EQ(key.second, c.key.second) << c.input;
        EXPECT_EQ(key.final_byte, c.key.final_byte) << c.input;
        EXPECT_EQ(terminal::next_byte(), c.next) << c.input;
        EXPECT_EQ(terminal::take_output(), "\x1b[0m") << "set_normal after every key";
    }
}

TEST(ReadNumber, ReadsLikeScanfAndRefusesWhatIsNotANumber) {
    struct Case {
        std::string input;
        NumberRead outcome;
        std::int32_t value;
        int next;
    };
    const Case cases[] = {
        {"4xc\n", NumberRead::ok, 4, 'x'},
        {"\n \t2\n", NumberRead::ok, 2, '\n'},
        {"-7\n", NumberRead::ok, -7, '\n'},
        {"+12 \n", NumberRead::ok, 12, ' '},
        {"2147483647\n", NumberRead::ok, 2147483647, '\n'},
        {"-2147483648\n", NumberRead::ok, -2147483647 - 1, '\n'},
        {"2147483648\n", NumberRead::out_of_range, 0, '\n'},
        {"99999999999999999999x\n", NumberRead::out_of_range, 0, 'x'},
        {"abc\nQ", NumberRead::not_a_number, 0, 'Q'},  // the whole line is consumed
        {"-x\nQ", NumberRead::not_a_number, 0, 'Q'},
    };
    for (const Case& c : cases) {
        terminal::use_memory(c.input);
        std::int32_t value = 0;
        EXPECT_EQ(read_number(value), c.outcome) << c.input;
        if (c.outcome == NumberRead::ok) {
            EXPECT_EQ(value, c.value) << c.input;
        }
        EXPECT_EQ(terminal::next_byte(), c.next) << c.input;
    }
}

TEST(ReadWord, SkipsBlankLinesAndRefusesWordsThatDoNotFit) {
    std::array<char, 8> buffer{};
    terminal::use_memory("\n\n  a b\n");
    EXPECT_EQ(read_word(buffer), LineRead::ok);
    EXPECT_STREQ(buffer.data(), "a");
    EXPECT_EQ(terminal::next_byte(), ' ');

    terminal::use_memory("12345678 z");
    EXPECT_EQ(read_word(buffer), LineRead::too_long);
    EXPECT_EQ(terminal::next_byte(), ' ') << "the whole word is consumed";

    terminal::use_memory("1234567\n");
    EXPECT_EQ(read_word(buffer), LineRead::ok);
    EXPECT_STREQ(buffer.data(), "1234567");
}

TEST(ReadLine, KeepsBlanksAndZeroBytesAndRefusesLongLines) {
    std::array<std::uint8_t, 4> buffer{};
    std::int32_t length = -1;
    terminal::use_memory(std::string(" a\0b\nX", 6));
    EXPECT_EQ(read_line(buffer, length), LineRead::ok);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(" a\0b", 4));
    EXPECT_EQ(terminal::next_byte(), 'X');

    terminal::use_memory("abcde\nY");
    EXPECT_EQ(read_line(buffer, length), LineRead::too_long);
    EXPECT_EQ(terminal::next_byte(), 'Y') << "the rest of the long line is consumed";
}

}  // namespace
}  // namespace fenk
