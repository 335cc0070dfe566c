// The sector view on the rendered screen: hex pairs and text cells, the '#' fillers past
// the end of the image, the bold '-' that tells a real '-' from a byte that cannot be
// shown, and the two counters on the status line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "editor_session.h"

namespace fenk_test {
namespace {

// Checks all twelve rows of both panels for the sector shown, with the bold cells
// exactly where the image holds a '-'.
void expect_panels(const Session& s, const std::string& image, std::size_t sector) {
    for (int r = 0; r < 12; ++r) {
        std::size_t first = sector * 240 + static_cast<std::size_t>(r) * 20;
        EXPECT_EQ(s.text(3 + r, 4, 45), hex_panel_row(image, first)) << "hex row " << r;
        EXPECT_EQ(s.text(3 + r, 55, 20), text_panel_row(image, first)) << "text row " << r;
        for (int c = 0; c < 20; ++c) {
            std::size_t p = first + static_cast<std::size_t>(c);
            bool dash = p < image.size() && image[p] == '-';
            EXPECT_EQ(s.cell(3 + r, 55 + c).bold, dash) << "text cell " << r << "," << c;
            EXPECT_FALSE(s.cell(3 + r, 4 + 2 * c + c / 4).bold) << "hex cell " << r << "," << c;
        }
    }
}

std::string pattern(std::size_t size) {
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<char>(i * 7 + 3);
    return image;
}

TEST(SectorView, ShowsEachKindOfByteInBothPanels) {
    // Not displayable: 0, 10, 127, 160, 255; then '-', blank, '#', and plain letters.
    const std::string image("\x00\x0a\x7f\xa0\xff-\x20#Az~", 11);
    TempDir dir;
    Session s = start_editor(dir, image);
    EXPECT_EQ(s.text(3, 4, 45), "000A7FA0 FF2D2023 417A7E## ######## ######## ");
    EXPECT_EQ(s.text(3, 55, 20), "------ #Az~#########");
    for (int c = 0; c < 20; ++c) EXPECT_EQ(s.cell(3, 55 + c).bold, c == 5) << "text cell " << c;
    // The byte '#' and a filler look alike in the text panel but not in the hex panel.
    EXPECT_EQ(s.text(3, 19, 2), "23");
    EXPECT_EQ(s.text(3, 28, 2), "##");
    expect_panels(s, image, 0);
    // The bold '-' is closed at once; nothing else in the row carries an attribute.
    EXPECT_TRUE(s.transcript_contains("\x1b[3;55H-----\x1b[1m-\x1b[0m #Az~#########\x1b[4;4H"));
}

TEST(SectorView, CountersAndFillersFollowTheImageSize) {
    struct Case {
        std::size_t size;
        const char* sectors;
    };
    const Case cases[] = {{0, "1/1"}, {239, "1/1"}, {240, "1/2"}, {241, "1/2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size));
        TempDir dir;
        std::string image = pattern(c.size);
        Session s = start_editor(dir, image);
        EXPECT_EQ(s.text(16, 31, 21), "Sector: " + std::string(c.sectors) + "          ");
        EXPECT_EQ(
            s.text(16, 53, 28),
            ("Offset: 0/" + std::to_string(c.size) + "       ").append(28, ' ').substr(0, 28));
        expect_panels(s, image, 0);
    }
}

TEST(SectorView, SecondSectorOfSmallImagesHoldsFillers) {
    for (std::size_t size : {std::size_t{240}, std::size_t{241}}) {
        SCOPED_TRACE("size " + std::to_string(size));
        TempDir dir;
        std::string image = pattern(size);
        Session s = start_editor(dir, image);
        s.send("\x1b[B");
        ASSERT_TRUE(wait_message(s, "Moving forward one block"));
        EXPECT_EQ(s.text(16, 31, 12), "Sector: 2/2 ");
        EXPECT_EQ(s.text(16, 53, 15), "Offset: 240/" + std::to_string(size));
        expect_panels(s, image, 1);
    }
}

TEST(SectorView, ShorterCountersLeaveNoTraceOfLongerOnes) {
    TempDir dir;
    Session s = start_editor(dir, pattern(2400));
    s.send("\x1b[C");
    ASSERT_TRUE(wait_message(s, "At end of data"));
    EXPECT_EQ(s.row_text(16).substr(30),
              "Sector: 11/11         Offset: 2400/2400" + std::string(11, ' '));
    s.send("\x1b[D");
    ASSERT_TRUE(wait_message(s, "At begining of data"));
    EXPECT_EQ(s.row_text(16).substr(30),
              "Sector: 1/11          Offset: 0/2400" + std::string(14, ' '));
}

// Row 16 of 80 cells holding the two counters at the given columns.
std::string status_row(int sector_col, const std::string& sector, int offset_col,
                       const std::string& offset) {
    std::string row(80, ' ');
    row.replace(static_cast<std::size_t>(sector_col - 1), sector.size(), sector);
    row.replace(static_cast<std::size_t>(offset_col - 1), offset.size(), offset);
    return row;
}

// Large images (sparse files, loaded whole): at the first offset the counters stand at their
// home columns; at the last one they would run into each other or past column 80, so the
// sector counter moves left and the offset counter ends at column 80 at most. Nothing reaches
// row 17, and back at the start no trace of the moved counters is left.
TEST(SectorView, CountersOfLargeImagesFitTheStatusLine) {
    struct Case {
        std::int64_t size;
        std::string sectors;      // the sector counter's total
        std::string last_sector;  // the sector counter at the last offset
        int sector_col;           // the counters' columns at the last offset
        int offset_col;
    };
    const Case cases[] = {{239999999, "1000000", "1000000", 29, 53},
                          {240000000, "1000001", "1000000", 29, 53},
                          {2147483519, "8947848", "8947848", 28, 52}};
    for (const Case& c : cases) {
        const std::string size = std::to_string(c.size);
        const std::string last = std::to_string(c.size - 1);
        SCOPED_TRACE("size " + size);
        TempDir dir;
        const std::string path = dir.write_file("f.bin", "");
        ASSERT_EQ(truncate(path.c_str(), c.size), 0);
        Session s = Session::fenk({path});
        ASSERT_TRUE(s.wait_until(
            [&] { return message_text(s) == "Image loaded, filesize= " + size + " bytes"; },
            std::chrono::seconds(60)));
        const std::string at_start =
            status_row(31, "Sector: 1/" + c.sectors, 53, "Offset: 0/" + size);
        EXPECT_EQ(s.row_text(16), at_start);
        s.send("j");
        ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 37}; }));
        s.send(last + "\r");
        ASSERT_TRUE(wait_message(s, "At sector of requested byte"));
        EXPECT_EQ(s.row_text(16),
                  status_row(c.sector_col, "Sector: " + c.last_sector + "/" + c.sectors,
                             c.offset_col, "Offset: " + last + "/" + size));
        EXPECT_EQ(s.text(17, 1, 13 + static_cast<int>(path.size())), "   Filespec: " + path);
        // An edit mode updates the moved offset counter in its place.
        s.send("a");
        ASSERT_TRUE(s.wait_for_text(19, 14, "ASC editing mode."));
        s.send("\x1b[D");
        const std::string before_last = std::to_string(c.size - 2);
        ASSERT_TRUE(s.wait_for_text(16, c.offset_col, "Offset: " + before_last + "/" + size));
        EXPECT_EQ(s.row_text(16),
                  status_row(c.sector_col, "Sector: " + c.last_sector + "/" + c.sectors,
                             c.offset_col, "Offset: " + before_last + "/" + size));
        s.send("\x1b\x1b");
        ASSERT_TRUE(wait_message(s, "Returning to command mode"));
        s.send("\x1b[D");
        ASSERT_TRUE(wait_message(s, "At begining of data"));
        EXPECT_EQ(s.row_text(16), at_start);
    }
}

}  // namespace
}  // namespace fenk_test
