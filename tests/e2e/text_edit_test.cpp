// Text edit mode on the real binary: typed bytes, control keys included, written as they
// come and echoed in bold in both panels, and the cursor moves byte by byte and row by
// row, with the page turns both ways.
#include <gtest/gtest.h>

#include "edit_driver.h"

namespace fenk_test {
namespace {

TEST(TextEdit, TypedBytesAreWrittenAndEchoedInBoldInBothPanels) {
    TempDir dir;
    Session s = start_editor(dir, std::string(30, '.'));
    ModeDriver keys(s, 30);
    ASSERT_TRUE(keys.enter(ASC_KEYS, {3, 55}));
    ASSERT_TRUE(keys.press("H", 1, {3, 56}));
    ASSERT_TRUE(keys.press("i", 2, {3, 57}));
    EXPECT_EQ(s.text(3, 55, 3), "Hi.");
    EXPECT_EQ(s.text(3, 4, 6), "48692E");
    for (int col : {55, 56, 4, 5, 6, 7}) EXPECT_TRUE(s.cell(3, col).bold) << col;
    EXPECT_FALSE(s.cell(3, 57).bold || s.cell(3, 8).bold);

    // Control keys are written as the byte they send; they show as "-" and two digits.
    struct Control {
        std::string key;
        const char* pair;
    };
    const Control controls[] = {{"\t", "09"},   {"\r", "0D"},   {"\x7f", "7F"},
                                {"\x03", "03"}, {"\x1a", "1A"}, {std::string(1, '\0'), "00"}};
    int offset = 2;
    for (const Control& c : controls) {
        int col = 4 + 2 * offset + offset / 4;
        ASSERT_TRUE(keys.press(c.key, offset + 1, {3, 55 + offset + 1}));
        EXPECT_EQ(s.text(3, 55 + offset, 1), "-");
        EXPECT_EQ(s.text(3, col, 2), c.pair);
        EXPECT_TRUE(s.cell(3, col).bold && s.cell(3, 55 + offset).bold);
        ++offset;
    }
    ASSERT_TRUE(keys.press("\xc3", offset, {3, 55 + offset}));  // from 128 up: ignored
    ASSERT_TRUE(keys.press("\x0c", offset, {3, 55 + offset}));  // Ctrl-L: repaints only
    ASSERT_TRUE(keys.leave());
    ASSERT_TRUE(save_in_place(s));
    EXPECT_EQ(read_file(dir.file("f.bin")),
              std::string("Hi\t\r\x7f\x03\x1a\0", 8) + std::string(22, '.'));
}

TEST(TextEdit, MovesByByteAndRowAndTurnsThePageBothWays) {
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'a'));
    run_moves(s, 600, ASC_KEYS,
              {
                  {287, {RIGHT}, 288, {5, 63}, "2/3"},
                  {19, {RIGHT}, 20, {4, 55}, "1/3"},  // end of a row: the next one
                  {20, {LEFT}, 19, {3, 74}, "1/3"},
                  {0, {LEFT}, 0, {3, 55}, "1/3"},       // the first byte of all
                  {240, {LEFT}, 239, {14, 74}, "1/3"},  // back a page
                  {480, {LEFT}, 479, {14, 74}, "2/3"},
                  {239, {RIGHT}, 240, {3, 55}, "2/3"},
                  {5, {UP}, 5, {3, 60}, "1/3"},  // row 0 of the first sector
                  {25, {UP}, 5, {3, 60}, "1/3"},
                  {245, {UP}, 225, {14, 60}, "1/3"},   // up a page
                  {235, {DOWN}, 255, {3, 70}, "2/3"},  // down a page
                  {579, {DOWN}, 599, {8, 74}, "3/3"},
                  {580, {DOWN}, 580, {8, 55}, "3/3"},          // 600 is past the end
                  {599, {RIGHT, RIGHT}, 600, {9, 55}, "3/3"},  // the cell after the data
                  {19, {"x"}, 20, {4, 55}, "1/3"},             // typing the row's last byte
                  {239, {"x"}, 240, {3, 55}, "2/3"},           // typing the sector's last byte
              });
}

}  // namespace
}  // namespace fenk_test
