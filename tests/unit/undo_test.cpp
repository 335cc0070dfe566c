// The undo journal and U, in-process: edit passes are typed into the real edit modes,
// then U is checked against the image, the position, the modified flag and its message.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "edit/edit_modes.h"
#include "edit/journal.h"
#include "image/file_io.h"
#include "image/navigation.h"
#include "image_fixture.h"

namespace fenk {
namespace {

const std::string ESC_ESC = "\x1b\x1b";
const std::string LEFT = "\x1b[D";

std::string undo() {
    terminal::use_memory("");
    undo_edits();
    return terminal::take_output();
}

void jump(std::int32_t n) {
    terminal::use_memory(std::to_string(n) + "\n");
    jump_to_byte();
}

bool says(const std::string& out, const std::string& message) {
    return out.find("\x1b[19;14H" + message + "\x1b[19;14H") != std::string::npos;
}

TEST(Undo, BeforeAnyEditPassThereIsNothingToUndo) {
    load_image(counting_bytes(50));
    jump(30);
    std::string out = undo();
    EXPECT_TRUE(says(out, "Nothing to undo")) << out;
    EXPECT_EQ(out.find("Sector:"), std::string::npos) << "nothing is repainted";
    EXPECT_EQ(editor.cursor_offset, 30);
    EXPECT_FALSE(editor.file_modified);
}

// Three edits of one byte in each mode: U brings back the value from before the first.
TEST(Undo, RevertsSeveralEditsOfOneByteToItsValueBeforeThePass) {
    struct Case {
        void (*mode)();
        std::string keys;
    };
    const Case cases[] = {
        {hex_edit, "12" + LEFT + LEFT + "3" + ESC_ESC},
        {ascii_edit, "x" + LEFT + "y" + LEFT + "z" + ESC_ESC},
    };
    for (const Case& c : cases) {
        load_image(counting_bytes(50));
        jump(7);
        run_keys(c.mode, c.keys);
        ASSERT_NE(image_bytes()[7], 7);
        EXPECT_EQ(editor.undo_journal.undo_newest, 3u) << "one entry per edit key";
        jump(45);
        std::string out = undo();
        EXPECT_TRUE(says(out, "Undo!"));
        EXPECT_EQ(image_bytes(), counting_bytes(50));
        EXPECT_EQ(editor.cursor_offset, 7);
        EXPECT_FALSE(editor.file_modified);
        EXPECT_TRUE(says(undo(), "Nothing to undo")) << "a second U";
        EXPECT_EQ(editor.cursor_offset, 7);
    }
}

TEST(Undo, RevertsEditsAcrossASectorBoundaryAndShowsTheFirstOnesSector) {
    load_image(counting_bytes(720));
    jump(238);
    run_keys(ascii_edit, "abcd" + ESC_ESC);
    ASSERT_EQ(editor.current_sector, 1);
    next_sector();
    ASSERT_EQ(editor.current_sector, 2);
    std::string out = undo();
    EXPECT_EQ(image_bytes(), counting_bytes(720));
    EXPECT_EQ(editor.cursor_offset, 238);
    EXPECT_EQ(editor.current_sector, 0);
    std::size_t message = out.find("Undo!");
    std::size_t repaint = out.find("Sector: 1/4");
    EXPECT_TRUE(message != std::string::npos && repaint > message) << "message, then sector 1";
    EXPECT_NE(out.find("ECEDEEEF "), std::string::npos) << "bytes 236 to 239 shown as they were";
    EXPECT_EQ(out.substr(out.size() - 8), "\x1b[19;14H") << "the cursor rests at the message";
}

// A journal longer than one of its blocks of entries reverts all of them.
TEST(Undo, RevertsAPassLongerThanOneJournalBlock) {
    constexpr std::size_t count = UNDO_CHUNK_ENTRIES + 500;
    load_image(counting_bytes(count + 10));
    run_keys(ascii_edit, std::string(count, 'Z') + ESC_ESC);
    ASSERT_EQ(editor.cursor_offset, static_cast<std::int32_t>(count));
    EXPECT_TRUE(says(undo(), "Undo!"));
    EXPECT_EQ(image_bytes(), counting_bytes(count + 10));
    EXPECT_EQ(editor.cursor_offset, 0);
}

TEST(Undo, AnEditThatRewritesTheSameValueStillCounts) {
    load_image(std::vector<std::uint8_t>(300, 0x00));
    jump(260);
    run_keys(hex_edit, "0" + ESC_ESC);
    EXPECT_TRUE(editor.file_modified);
    jump(5);
    EXPECT_TRUE(says(undo(), "Undo!"));
    EXPECT_EQ(editor.cursor_offset, 260);
    EXPECT_EQ(editor.current_sector, 1);
}

TEST(Undo, OnlyTheLatestPassCountsEvenWhenItEditedNothing) {
    load_image(counting_bytes(50));
    run_keys(hex_edit, "ff" + ESC_ESC);
    run_keys(ascii_edit, "\x1b[C" + ESC_ESC);
    EXPECT_TRUE(says(undo(), "Nothing to undo"));
    EXPECT_EQ(image_bytes()[0], 0xFF) << "the first pass's edit stays";
    EXPECT_TRUE(editor.file_modified);
}

TEST(Undo, AKeyAtTheEndSetsModifiedButLeavesNothingToUndo) {
    for (void (*mode)() : {hex_edit, ascii_edit}) {
        load_image(counting_bytes(20));
        jump(20);
        run_keys(mode, "5" + ESC_ESC);
        EXPECT_EQ(image_bytes(), counting_bytes(20));
        EXPECT_EQ(editor.cursor_offset, 20);
        EXPECT_TRUE(editor.file_modified);
        EXPECT_TRUE(says(undo(), "Nothing to undo"));
        EXPECT_TRUE(editor.file_modified);
    }
}

TEST(Undo, ASaveMakesThePassPermanent) {
    char path[] = "/tmp/fenk-undo-XXXXXX";
    int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    load_image(counting_bytes(30));
    run_keys(ascii_edit, "Q" + ESC_ESC);
    terminal::use_memory("");
    save_file(path);
    ASSERT_TRUE(says(terminal::take_output(), "File saved"));
    EXPECT_TRUE(says(undo(), "Nothing to undo"));
    EXPECT_EQ(image_bytes()[0], 'Q');
    std::ifstream file(path, std::ios::binary);
    std::string saved{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(saved.substr(0, 2), std::string("Q\x01", 2));
    ::unlink(path);
}

TEST(Undo, ANewPassAfterARevertWorksAsTheFirst) {
    load_image(counting_bytes(50));
    run_keys(hex_edit, "a" + ESC_ESC);
    undo();
    jump(10);
    run_keys(hex_edit, "b" + ESC_ESC);
    EXPECT_EQ(image_bytes()[10], 0xBA);
    EXPECT_TRUE(says(undo(), "Undo!"));
    EXPECT_EQ(image_bytes(), counting_bytes(50));
    EXPECT_EQ(editor.cursor_offset, 10);
}

}  // namespace
}  // namespace fenk
