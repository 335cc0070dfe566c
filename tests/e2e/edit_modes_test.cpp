// What the hex and text edit modes share, on the real binary: entry and the bold label,
// the ways out and what each swallows, Ctrl-L, the edges of the image, and the refused
// move off a full last sector.
#include <gtest/gtest.h>

#include <csignal>

#include "../model/edit_model.h"
#include "edit_driver.h"

namespace fenk_test {
namespace {

class EditModes : public testing::TestWithParam<const ModeKeys*> {
  protected:
    const ModeKeys& mode() const { return *GetParam(); }
};

bool label_bold(const Session& s, int col) {
    return s.cell(15, col).bold && s.cell(15, col + 1).bold && s.cell(15, col + 2).bold;
}

TEST_P(EditModes, EntryPutsTheCursorOnTheBytesCellAndTheLabelInBoldUntilTheExit) {
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'a'));
    ASSERT_TRUE(jump_to(s, 287));
    ModeDriver keys(s, 600);
    ASSERT_TRUE(keys.enter(mode(), {5, mode().column(7)}));
    EXPECT_EQ(s.text(15, mode().label_col, 3), mode().hex ? "HEX" : "ASC");
    EXPECT_TRUE(label_bold(s, mode().label_col));
    EXPECT_FALSE(s.cell(15, mode().hex ? 63 : 24).bold) << "only this mode's label";
    EXPECT_EQ(sector_text(s), "2/3");
    EXPECT_EQ(counter_text(s), "287/600");

    ASSERT_TRUE(keys.leave());
    EXPECT_EQ(s.text(15, mode().label_col, 3), mode().hex ? "HEX" : "ASC");
    EXPECT_FALSE(s.cell(15, mode().label_col).bold || s.cell(15, mode().label_col + 2).bold);
}

TEST_P(EditModes, WithoutAFileThereIsNothingToEdit) {
    Session s = start_empty_editor();
    s.send(std::string(1, mode().command));
    EXPECT_TRUE(wait_message(s, "No file to edit"));
    s.send("u");
    EXPECT_TRUE(wait_message(s, "Nothing to undo"));
}

// Each way out ends the mode having read exactly its own bytes: the key after it is the
// next command. ESC and a key swallow that key; a complete sequence other than an arrow
// (a malformed one included) swallows nothing more.
TEST_P(EditModes, EveryEscapeOtherThanAnArrowLeavesAndSwallowsItsKeys) {
    const std::string exits[] = {"\x1b\x1b", "\x1bq",     "\x1b[H", "\x1bOH",  "\x1b[2~",
                                 "\x1b[15~", "\x1b[1;5A", "\x1bOP", "\x1b[6~", "\x1b[1\x01"};
    TempDir dir;
    Session s = start_editor(dir, std::string(30, '\0'));
    for (const std::string& exit : exits) {
        SCOPED_TRACE(fenk_model::describe_key(exit));
        ModeDriver keys(s, 30);
        ASSERT_TRUE(keys.enter(mode(), {3, mode().column(0)}));
        const std::size_t mark = s.transcript_size();
        s.send(exit + "\x0c");  // Ctrl-L as a command shows "Waiting for command"
        ASSERT_TRUE(wait_message(s, "Waiting for command"));
        EXPECT_TRUE(s.transcript_contains("Returning to command mode", mark));
        EXPECT_EQ(s.text(3, 4, 8), "00000000") << "nothing was written";
        EXPECT_EQ(counter_text(s), "0/30");
    }
    s.send("q");  // nothing was edited: Q ends at once
    EXPECT_TRUE(s.wait_exit_status(0));
}

// Cursor keys in application mode (ESC O A to D) move like ESC [ A to D; Home in that
// mode (ESC O H) leaves the mode and starts no other. The keys typed afterwards are
// commands: qq ends the editor, and the file is whole.
TEST_P(EditModes, ApplicationModeArrowsMoveAndNoSequenceWritesAByte) {
    TempDir dir;
    const std::string bytes(600, 'n');
    Session s = start_editor(dir, bytes);
    ModeDriver keys(s, 600);
    ASSERT_TRUE(keys.enter(mode(), {3, mode().column(0)}));
    ASSERT_TRUE(keys.press("\x1bOB", 20, {4, mode().column(0)}));
    // Right: the low digit of the same byte in hex, the next byte in text.
    const std::pair<int, int> right{4, mode().hex ? mode().column(0) + 1 : mode().column(1)};
    ASSERT_TRUE(keys.press("\x1bOC", mode().hex ? 20 : 21, right));
    ASSERT_TRUE(keys.press("\x1bOD", 20, {4, mode().column(0)}));
    ASSERT_TRUE(keys.press("\x1bOA", 0, {3, mode().column(0)}));
    s.send("\x1bOH");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
    s.send("qq");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_FALSE(s.transcript_contains("HEX editing mode", s.transcript().rfind("Returning")));
    EXPECT_EQ(read_file(dir.file("f.bin")), bytes);
}

// A terminal left in bracketed-paste mode by another program wraps a paste in ESC [ 200 ~
// and ESC [ 201 ~. Those marks are no keys: the pasted text is typed into the mode, which
// goes on, as it would be without them.
TEST_P(EditModes, PasteMarksNeitherLeaveTheModeNorRunTheTextAsCommands) {
    TempDir dir;
    Session s = start_editor(dir, std::string(60, 'n'));
    ModeDriver keys(s, 60);
    ASSERT_TRUE(keys.enter(mode(), {3, mode().column(0)}));
    ASSERT_TRUE(keys.press("\x1b[200~4142\x1b[201~", mode().hex ? 2 : 4,
                           {3, mode().column(mode().hex ? 2 : 4)}));
    EXPECT_EQ(message_text(s), *mode().message);
    ASSERT_TRUE(keys.leave());
    s.send("s");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{17, 14}; }));
    s.send("\r");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file("f.bin")),
              (mode().hex ? "AB" : "4142") + std::string(mode().hex ? 58 : 56, 'n'));
}

// With pauses between the bytes of a sequence nothing happens before its last byte: an
// arrow sent so still moves, and a function key still leaves only when it is complete.
TEST_P(EditModes, SequenceWhoseBytesArriveOneByOneActsAsOne) {
    using namespace std::chrono_literals;
    TempDir dir;
    Session s = start_editor(dir, std::string(60, 'n'));
    ModeDriver keys(s, 60);
    ASSERT_TRUE(keys.enter(mode(), {3, mode().column(0)}));
    for (const char* part : {"\x1b", "["}) {
        s.send(part);
        ASSERT_TRUE(s.wait_quiet(100ms));
        EXPECT_EQ(s.cursor(), (std::pair{3, mode().column(0)}));
    }
    ASSERT_TRUE(keys.press("B", 20, {4, mode().column(0)}));
    for (const char* part : {"\x1b", "[", "1", "5"}) {
        s.send(part);
        ASSERT_TRUE(s.wait_quiet(100ms));
        EXPECT_EQ(message_text(s), *mode().message);
    }
    s.send("~");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
    s.send("q");  // a command again: nothing was edited, so Q ends at once
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(read_file(dir.file("f.bin")), std::string(60, 'n'));
}

TEST_P(EditModes, CtrlLRepaintsAndTheModeGoesOn) {
    TempDir dir;
    Session s = start_editor(dir, std::string(30, '\0'));
    ModeDriver keys(s, 30);
    ASSERT_TRUE(keys.enter(mode(), {3, mode().column(0)}));
    ASSERT_TRUE(keys.press(mode().hex ? "7" : "p", mode().hex ? 0 : 1, {3, mode().hex ? 5 : 56}));
    ASSERT_TRUE(s.cell(3, 4).bold);
    ASSERT_TRUE(keys.press("\x0c", mode().hex ? 0 : 1, {3, mode().hex ? 5 : 56}));
    EXPECT_EQ(message_text(s), *mode().message);
    EXPECT_TRUE(label_bold(s, mode().label_col));
    EXPECT_FALSE(s.cell(3, 4).bold) << "the repaint shows the edits in normal attributes";
    EXPECT_EQ(s.text(3, 4, 4), "7000");
    const std::string name = dir.file("f.bin");
    EXPECT_EQ(s.text(17, 14, static_cast<int>(name.size())), name);
    ASSERT_TRUE(keys.press(RIGHT, mode().hex ? 1 : 2, {3, mode().hex ? 6 : 57}));
    ASSERT_TRUE(keys.leave());
}

// A continue signal repaints the screen while the mode waits; the screen still shows the
// mode (its label in bold, its message), the cursor goes back onto its cell and the next
// key edits there.
TEST_P(EditModes, AContinueSignalRepaintsAndPutsTheCursorBack) {
    TempDir dir;
    Session s = start_editor(dir, std::string(300, '\0'));
    ASSERT_TRUE(jump_to(s, 250));
    ModeDriver keys(s, 300);
    ASSERT_TRUE(keys.enter(mode(), {3, mode().column(10)}));
    ASSERT_TRUE(keys.press(RIGHT, mode().hex ? 250 : 251, {3, mode().column(10) + 1}));
    const std::size_t mark = s.transcript_size();
    s.signal(SIGCONT);
    ASSERT_TRUE(s.wait_until([&] {
        return s.transcript_contains("\x1b[2J", mark) &&
               s.cursor() == std::pair{3, mode().column(10) + 1};
    }));
    EXPECT_EQ(message_text(s), *mode().message);
    EXPECT_TRUE(label_bold(s, mode().label_col));
    ASSERT_TRUE(keys.press("7", mode().hex ? 251 : 252, {3, mode().column(mode().hex ? 11 : 12)}));
    EXPECT_EQ(s.text(3, 4 + 2 * 10 + 2, 4), mode().hex ? "0700" : "0037");
}

// The edges of the image: an empty image, and entry past its end (after J to the size, or
// the sector keys keeping the place in a shorter last sector). A key there writes nothing
// but counts as an edit, so Q asks; up and left still move.
TEST_P(EditModes, KeysAtOrPastTheEndOnlyMarkTheImageModified) {
    struct Case {
        int size;
        int jump;          // J to this offset first, or -1
        bool sector_down;  // then the command loop's down arrow
        int offset;        // where the mode starts
    };
    const Case cases[] = {{0, -1, false, 0}, {19, 19, false, 19}, {241, 239, true, 479}};
    // The cursor's place for an offset in the sector shown (hex: the high digit, or the
    // low one when `low`).
    auto place = [&](int offset, bool low = false) {
        int within = offset % 240;
        return std::pair{3 + within / 20, mode().column(within % 20) + (low ? 1 : 0)};
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("image of " + std::to_string(c.size) + " bytes");
        TempDir dir;
        const std::string bytes(static_cast<std::size_t>(c.size), 'z');
        Session s = start_editor(dir, bytes);
        if (c.jump >= 0) {
            ASSERT_TRUE(jump_to(s, c.jump));
        }
        if (c.sector_down) {
            s.send(DOWN);
            ASSERT_TRUE(wait_message(s, "Moving forward one block"));
        }
        ModeDriver keys(s, c.size);
        ASSERT_TRUE(keys.enter(mode(), place(c.offset)));
        ASSERT_TRUE(keys.press("5", c.offset, place(c.offset)));
        ASSERT_TRUE(keys.press(RIGHT, c.offset, place(c.offset)));
        ASSERT_TRUE(keys.press(DOWN, c.offset, place(c.offset)));
        EXPECT_EQ(s.text(place(c.offset).first, place(c.offset).second, 1), "#");
        int up = c.offset >= 20 ? c.offset - 20 : c.offset;
        ASSERT_TRUE(keys.press(UP, up, place(up)));
        int left = up > 0 ? up - 1 : 0;
        ASSERT_TRUE(keys.press(LEFT, left, place(left, mode().hex && up > 0)));
        ASSERT_TRUE(keys.leave());
        s.send("q");
        EXPECT_TRUE(s.wait_for_text(19, 14, "File modified, Ok to exit?"));
        EXPECT_EQ(read_file(dir.file("f.bin")), bytes);
    }
}

// Right off the last cell of a sector whose last byte ends the image is refused: the
// cursor and the offset stay on that byte. In mid-sector, right reaches the empty cell
// after the data and stops there.
TEST_P(EditModes, RightStopsAtTheEndOfTheImage) {
    TempDir dir;
    Session s = start_editor(dir, std::string(240, 'k'));
    ASSERT_TRUE(jump_to(s, 239));
    ModeDriver keys(s, 240);
    ASSERT_TRUE(keys.enter(mode(), {14, mode().column(19)}));
    std::pair<int, int> last{14, mode().column(19) + (mode().hex ? 1 : 0)};
    if (mode().hex) {
        ASSERT_TRUE(keys.press(RIGHT, 239, last));
    }
    ASSERT_TRUE(keys.press(RIGHT, 239, last));
    ASSERT_TRUE(keys.press(RIGHT, 239, last));
    EXPECT_EQ(sector_text(s), "1/2");
    ASSERT_TRUE(keys.leave());

    TempDir dir2;
    Session mid = start_editor(dir2, std::string(250, 'k'));
    ASSERT_TRUE(jump_to(mid, 249));
    ModeDriver mid_keys(mid, 250);
    ASSERT_TRUE(mid_keys.enter(mode(), {3, mode().column(9)}));
    if (mode().hex) {
        ASSERT_TRUE(mid_keys.press(RIGHT, 249, {3, mode().column(9) + 1}));
    }
    ASSERT_TRUE(mid_keys.press(RIGHT, 250, {3, mode().column(10)}));
    ASSERT_TRUE(mid_keys.press(RIGHT, 250, {3, mode().column(10)}));
    ASSERT_TRUE(mid_keys.press(LEFT, 249, {3, mode().column(9) + (mode().hex ? 1 : 0)}));
}

// Typing on the last byte of the sector turns the page even when the image ends there:
// the empty page after the data is shown and further keys write nothing.
TEST_P(EditModes, TypingTheLastByteOfAFullSectorTurnsToTheEmptyPage) {
    TempDir dir;
    Session s = start_editor(dir, std::string(240, 'k'));
    ASSERT_TRUE(jump_to(s, 239));
    ModeDriver keys(s, 240);
    ASSERT_TRUE(keys.enter(mode(), {14, mode().column(19)}));
    if (mode().hex) {
        ASSERT_TRUE(keys.press("4", 239, {14, 47}));
    }
    ASSERT_TRUE(keys.press("1", 240, {3, mode().column(0)}));
    EXPECT_EQ(sector_text(s), "2/2");
    EXPECT_EQ(s.text(3, 4, 8), "########");
    ASSERT_TRUE(keys.press("2", 240, {3, mode().column(0)}));
    ASSERT_TRUE(keys.leave());
    ASSERT_TRUE(save_in_place(s));
    EXPECT_EQ(read_file(dir.file("f.bin")), std::string(239, 'k') + (mode().hex ? "A" : "1"));
}

// The peak address space of a process, from /proc, in bytes.
rlim_t peak_address_space(pid_t pid) {
    std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
    std::size_t at = status.find("VmPeak:");
    if (at == std::string::npos) return 0;
    return std::stoull(status.substr(at + 7)) * 1024;
}

// An edit whose journal entry cannot be allocated is refused and changes nothing. The
// editor runs with its address space capped just above what an identical session used
// up to that point, so the image loads but the journal's first block (320 KiB) cannot
// be had.
TEST_P(EditModes, AnEditThatCannotBeJournalledIsRefusedAndChangesNothing) {
#ifdef FENK_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve far more address space than any cap allows";
#endif
    const std::string bytes(1000, 'w');
    rlim_t peak = 0;
    {
        TempDir dir;
        Session probe = start_editor(dir, bytes);
        ModeDriver keys(probe, 1000);
        ASSERT_TRUE(keys.enter(mode(), {3, mode().column(0)}));
        peak = peak_address_space(probe.pid());
        ASSERT_GT(peak, 0u);
    }
    TempDir dir;
    SessionOptions options;
    options.address_space_limit = peak + 64 * 1024;
    Session s = Session::fenk({dir.write_file("f.bin", bytes)}, options);
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 1000 bytes"));
    ModeDriver keys(s, 1000);
    ASSERT_TRUE(keys.enter(mode(), {3, mode().column(0)}));
    ASSERT_TRUE(keys.press("5", 0, {3, mode().column(0)}));
    EXPECT_EQ(message_text(s), "Not enough memory to record the edit: byte left unchanged");
    EXPECT_EQ(s.text(3, 4, 2), "77");
    EXPECT_FALSE(s.cell(3, 4).bold || s.cell(3, 55).bold);
    // Under that memory pressure 100,000 more refused keys, each repeating the message, must
    // neither grow the output beyond its fixed buffer nor end the editor.
    for (int chunk = 0; chunk < 10; ++chunk) {
        s.send(std::string(10000, '5'));
        ASSERT_TRUE(s.wait_quiet());
        ASSERT_TRUE(s.running()) << s.dump();
    }
    EXPECT_EQ(message_text(s), "Not enough memory to record the edit: byte left unchanged");
    ASSERT_TRUE(keys.press(RIGHT, mode().hex ? 0 : 1, {3, mode().hex ? 5 : 56}));
    ASSERT_TRUE(keys.press("6", mode().hex ? 0 : 1, {3, mode().hex ? 5 : 56}));
    ASSERT_TRUE(keys.leave());
    s.send("u");
    EXPECT_TRUE(wait_message(s, "Nothing to undo"));
    ASSERT_TRUE(save_in_place(s));
    EXPECT_EQ(read_file(dir.file("f.bin")), bytes);
}

INSTANTIATE_TEST_SUITE_P(Both, EditModes, testing::Values(&HEX_KEYS, &ASC_KEYS),
                         [](const auto& param_info) {
                             return std::string(param_info.param->name);
                         });

}  // namespace
}  // namespace fenk_test
