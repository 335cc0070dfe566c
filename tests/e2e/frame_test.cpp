// The editor's fixed screen: title, the two boxes with their labels, the field labels and
// the boxed menu, checked cell by cell and attribute by attribute on the rendered screen,
// and byte by byte in the stream; Ctrl-L rebuilds all of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_session.h"

namespace fenk_test {
namespace {

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// Pads a row of UTF-8 text with blanks to 80 cells.
std::string full_row(const std::string& text) {
    int cells = 0;
    for (char byte : text) {
        if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) ++cells;
    }
    return text + std::string(static_cast<std::size_t>(screen_cols - cells), ' ');
}

const char* const MENU[3][4][2] = {
    {{"L", "oad           "},
     {" H", "ex edit         "},
     {" G", "oto sector         "},
     {" >", "Forward  search "}},
    {{"S", "ave           "},
     {" A", "sc edit         "},
     {" J", "ump to byte        "},
     {" <", "Backward search "}},
    {{"Q", "uit           "},
     {" U", "ndo!            "},
     {" T", "able               "},
     {" C", "ontinue  search "}},
};

// Rows 2 to 24 as they stand on the screen of the empty editor (row 1 is checked apart).
std::vector<std::string> frame_rows(const std::string& message) {
    std::vector<std::string> rows(screen_rows + 1);
    rows[2] = " ┌" + repeat("─", 46) + "┐   ┌" + repeat("─", 22) + "┐";
    for (int row = 3; row <= 14; ++row) {
        rows[static_cast<std::size_t>(row)] =
            " │" + std::string(46, ' ') + "│   │" + std::string(22, ' ') + "│";
    }
    rows[15] = " └" + repeat("─", 21) + "HEX" + repeat("─", 22) + "┘   └" + repeat("─", 9) + "ASC" +
               repeat("─", 10) + "┘";
    rows[17] = "   Filespec:";
    rows[19] = "   Messages: " + message;
    rows[20] = " ┌" + repeat("─", 73) + "┐";
    for (int r = 0; r < 3; ++r) {
        std::string line = " │ ";
        for (const auto& item : MENU[r]) line += std::string(item[0]) + item[1];
        rows[static_cast<std::size_t>(21 + r)] = line + "│";
    }
    rows[24] = " └" + repeat("─", 73) + "┘";
    for (auto& row : rows) row = full_row(row);
    return rows;
}

bool in_menu_key(int row, int col) {
    if (row < 21 || row > 23) return false;
    return col == 4 || col == 19 || col == 20 || col == 37 || col == 38 || col == 58 || col == 59;
}

// Row 1: a blank, then exactly 75 columns in reverse video starting with the name and
// version; nothing else on the screen is in reverse video, and only the menu's key parts
// are bold.
void expect_title_and_attributes(const Session& s) {
    EXPECT_EQ(s.text(1, 2, 11), " Fenk! V1.0");
    for (int row = 1; row <= screen_rows; ++row) {
        for (int col = 1; col <= screen_cols; ++col) {
            Session::CellInfo cell = s.cell(row, col);
            bool reverse = row == 1 && col >= 2 && col <= 76;
            EXPECT_EQ(cell.reverse, reverse) << "row " << row << ", col " << col;
            EXPECT_EQ(cell.bold, in_menu_key(row, col)) << "row " << row << ", col " << col;
            EXPECT_FALSE(cell.blink) << "row " << row << ", col " << col;
        }
    }
}

// The frame's first bytes: the clear, the blank before the title, reverse video on.
const std::string FRAME_START = "\x1b[H\x1b[2J \x1b[7m";

// The frame's bytes from the end of the title to the end of the menu, as a terminal
// receives them (the driver turns each newline into CR LF).
std::string frame_stream_after_title() {
    const std::string on =
        "\x1b(0\x1b"
        "1";
    const std::string off =
        "\x1b(B\x1b"
        "2";
    std::string s = "\r\n\x1b[0m" + on;
    s += " l" + std::string(46, 'q') + "k   l" + std::string(22, 'q') + "k\r\n";
    for (int row = 3; row <= 14; ++row) s += " x\t\t\t\t\t\tx   x\t\t\t   x\r\n";
    // The labels in the ordinary set, between the line-drawing pieces.
    s += " m" + std::string(21, 'q') + off + "HEX" + on + std::string(22, 'q') + "j   m" +
         std::string(9, 'q') + off + "ASC" + on + std::string(10, 'q') + "j\r\n\r\n" + off;
    s += "   Filespec: \r\n\r\n   Messages: \r\n";
    s += on + " l" + std::string(36, 'q') + off + on + std::string(37, 'q') + "k\r\n" + off;
    for (const auto& row : MENU) {
        s += on + " x " + off;
        for (const auto& item : row) s += std::string("\x1b[1m") + item[0] + "\x1b[0m" + item[1];
        s += on + "x\r\n" + off;
    }
    s += on + " m" + std::string(36, 'q') + off + on + std::string(37, 'q') + "j" + off;
    return s;
}

// Finds the frame in the transcript from `from` on and checks every byte of it; returns
// the offset just past it, or npos.
std::size_t expect_frame_stream(const Session& s, std::size_t from = 0) {
    const std::string& t = s.transcript();
    std::size_t start = t.find(FRAME_START, from);
    if (start == std::string::npos) {
        ADD_FAILURE() << "no clear and title in the transcript\n" << s.dump();
        return start;
    }
    std::size_t title = start + FRAME_START.size();
    std::string rest = frame_stream_after_title();
    // " Fenk! " (7), "V1.0" (4) and 64 columns of credit: 75 in reverse video.
    EXPECT_EQ(t.substr(title, 11), " Fenk! V1.0");
    EXPECT_EQ(t.substr(title + 75, rest.size()), rest);
    return title + 75 + rest.size();
}

// Waits for a prompt's text in the message field, wherever the prompt puts the cursor.
testing::AssertionResult wait_prompt(Session& s, const std::string& text) {
    return s.wait_until([&] { return message_text(s) == text; });
}

TEST(Frame, EmptyEditorShowsTheFrameCellByCell) {
    Session s = start_empty_editor();
    std::vector<std::string> rows = frame_rows("Waiting for command");
    for (int row = 2; row <= screen_rows; ++row) {
        EXPECT_EQ(s.row_text(row), rows[static_cast<std::size_t>(row)]) << "row " << row;
    }
    EXPECT_EQ(s.text(1, 1, 1), " ");
    EXPECT_EQ(s.text(1, 77, 4), "    ");
    expect_title_and_attributes(s);
}

TEST(Frame, StreamIsExactAndNothingFollowsTheFrameWithoutAFile) {
    Session s = start_empty_editor();
    std::size_t end = expect_frame_stream(s);
    ASSERT_NE(end, std::string::npos);
    // No file: draw_sector writes nothing; the next bytes are the message's.
    const std::string message = "\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14H" +
                                "Waiting for command" + "\x1b[19;14H";
    EXPECT_EQ(s.transcript().substr(end, message.size()), message);
}

// After the frame alone the cursor stands on row 24 just past the menu's corner: replay
// the frame's bytes on a fresh terminal and look where the cursor ends.
TEST(Frame, LeavesTheCursorAfterColumn76OfRow24) {
    TempDir dir;
    std::string frame;
    {
        Session s = start_empty_editor();
        std::size_t end = expect_frame_stream(s);
        ASSERT_NE(end, std::string::npos);
        std::size_t start = s.transcript().find("\x1b[H\x1b[2J");
        frame = s.transcript().substr(start, end - start);
    }
    std::string path = dir.write_file("frame", frame);
    Session replay({"/bin/cat", path});
    ASSERT_TRUE(replay.wait_exit_status(0));
    EXPECT_EQ(replay.cursor(), (std::pair{24, 77}));
    EXPECT_EQ(replay.row_text(24), frame_rows("")[24]);
}

TEST(Frame, CtrlLWithoutAFileRewritesTheFrameAndABlankFileName) {
    Session s = start_empty_editor();
    s.send("x");
    ASSERT_TRUE(wait_message(s, "Not a valid command"));
    std::size_t mark = s.transcript_size();
    s.send("\x0c");
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    std::size_t end = expect_frame_stream(s, mark);
    ASSERT_NE(end, std::string::npos);
    // The file name step: 15 blanks at the filespec field, then home to the message field.
    const std::string name_step = "\x1b[17;14H" + std::string(15, ' ') + "\x1b[19;14H";
    EXPECT_EQ(s.transcript().substr(end, name_step.size()), name_step);
    std::vector<std::string> rows = frame_rows("Waiting for command");
    for (int row = 2; row <= screen_rows; ++row) {
        EXPECT_EQ(s.row_text(row), rows[static_cast<std::size_t>(row)]) << "row " << row;
    }
    EXPECT_FALSE(s.child_termios().c_lflag & ICANON);
}

// A refusal naming a long path runs past the message field and wraps onto the menu's top
// border; Ctrl-L puts back the frame, the sector and the loaded file's name.
TEST(Frame, CtrlLRepairsAScreenOverwrittenByAWrappedMessage) {
    TempDir dir;
    Session s = start_editor(dir, "fenk");
    const std::string loaded_row3 = s.row_text(3);
    s.send("l");
    ASSERT_TRUE(wait_prompt(s, "Enter complete path to file"));
    std::string missing = dir.file(std::string(70 - dir.path().size() - 1, 'm'));
    s.send(missing + "\r");
    ASSERT_TRUE(s.wait_for_text(19, 14, "Cannot open file " + missing.substr(0, 50)));
    ASSERT_TRUE(s.wait_until([&] { return s.text(20, 1, 2) != " ┌"; }));

    s.send("\x0c");
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    std::vector<std::string> rows = frame_rows("Waiting for command");
    for (int row : {2, 15, 20, 21, 22, 23, 24}) {
        EXPECT_EQ(s.row_text(row), rows[static_cast<std::size_t>(row)]) << "row " << row;
    }
    EXPECT_EQ(s.row_text(3), loaded_row3);
    EXPECT_EQ(s.text(17, 1, 13 + static_cast<int>(dir.file("f.bin").size()) + 15),
              "   Filespec: " + dir.file("f.bin") + std::string(15, ' '));
    EXPECT_EQ(s.text(16, 31, 12), "Sector: 1/1 ");
    expect_title_and_attributes(s);
}

}  // namespace
}  // namespace fenk_test
