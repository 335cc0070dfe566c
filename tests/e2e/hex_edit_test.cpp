// Hex edit mode on the real binary: digit entry and its bold echo in both panels, and the
// cursor moves digit by digit and row by row, with the page turns both ways.
#include <gtest/gtest.h>

#include "edit_driver.h"

namespace fenk_test {
namespace {

constexpr int hex_col(int c) { return 4 + 2 * c + c / 4; }

TEST(HexEdit, DigitsReplaceHalfAByteAndEchoInBoldInBothPanels) {
    TempDir dir;
    Session s = start_editor(dir, std::string(30, '\0'));
    ModeDriver keys(s, 30);
    ASSERT_TRUE(keys.enter(HEX_KEYS, {3, 4}));

    ASSERT_TRUE(keys.press("4", 0, {3, 5}));
    EXPECT_EQ(s.text(3, 4, 2), "40");
    EXPECT_TRUE(s.cell(3, 4).bold);
    EXPECT_FALSE(s.cell(3, 5).bold) << "only the typed digit is rewritten";
    EXPECT_EQ(s.text(3, 55, 1), "@");
    EXPECT_TRUE(s.cell(3, 55).bold);

    ASSERT_TRUE(keys.press("f", 1, {3, 6}));
    EXPECT_EQ(s.text(3, 4, 2), "4F");
    EXPECT_TRUE(s.cell(3, 5).bold);
    EXPECT_EQ(s.text(3, 55, 1), "O");

    ASSERT_TRUE(keys.press("a", 1, {3, 7}));  // lower case: value 10, shown upper case
    EXPECT_EQ(s.text(3, 6, 1), "A");
    EXPECT_EQ(s.text(3, 56, 1), "-") << "0xA0 is not shown as itself";
    EXPECT_TRUE(s.cell(3, 56).bold);
    ASSERT_TRUE(keys.press("g", 1, {3, 7}));  // not a digit: only the counter is rewritten
    ASSERT_TRUE(keys.press("\x7f", 1, {3, 7}));
    EXPECT_EQ(s.text(3, 6, 2), "A0");
    ASSERT_TRUE(keys.press("B", 2, {3, 8}));
    EXPECT_FALSE(s.cell(3, 10).bold);

    ASSERT_TRUE(keys.leave());
    ASSERT_TRUE(save_in_place(s));
    EXPECT_EQ(read_file(dir.file("f.bin")), std::string("\x4F\xAB", 2) + std::string(28, '\0'));
}

TEST(HexEdit, MovesByDigitAndRowAndTurnsThePageBothWays) {
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'a'));
    run_moves(s, 600, HEX_KEYS,
              {
                  {287, {RIGHT}, 287, {5, 20}, "2/3"},  // high to low digit, same byte
                  {287, {RIGHT, RIGHT}, 288, {5, 22}, "2/3"},
                  {19, {RIGHT, RIGHT}, 20, {4, 4}, "1/3"},  // end of a row: the next one
                  {20, {LEFT}, 19, {3, 47}, "1/3"},
                  {21, {LEFT}, 20, {4, 5}, "1/3"},
                  {0, {LEFT}, 0, {3, 4}, "1/3"},        // the first digit of all
                  {480, {LEFT}, 479, {14, 47}, "2/3"},  // back a page onto the low digit
                  {240, {LEFT, RIGHT}, 240, {3, 4}, "2/3"},
                  {239, {RIGHT, RIGHT}, 240, {3, 4}, "2/3"},
                  {5, {UP}, 5, {3, hex_col(5)}, "1/3"},  // row 0 of the first sector
                  {25, {UP}, 5, {3, hex_col(5)}, "1/3"},
                  {245, {UP}, 225, {14, hex_col(5)}, "1/3"},             // up a page
                  {246, {RIGHT, UP}, 226, {14, hex_col(6) + 1}, "1/3"},  // keeps the digit
                  {235, {DOWN}, 255, {3, hex_col(15)}, "2/3"},           // down a page
                  {479, {DOWN}, 499, {3, hex_col(19)}, "3/3"},
                  {579, {DOWN}, 599, {8, hex_col(19)}, "3/3"},
                  {580, {DOWN}, 580, {8, hex_col(0)}, "3/3"},  // 600 is past the end
                  {585, {DOWN}, 585, {8, hex_col(5)}, "3/3"},
                  {599, {RIGHT, RIGHT}, 600, {9, 4}, "3/3"},  // the cell after the data
                  {19, {"1", "2"}, 20, {4, 4}, "1/3"},        // typing the row's last digit
                  {239, {"1", "2"}, 240, {3, 4}, "2/3"},      // typing the sector's last digit
              });
}

}  // namespace
}  // namespace fenk_test
