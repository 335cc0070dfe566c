// Loading and saving through the real binary: what the L and S prompts read, what a
// load or save changes, and every way one can be refused. A refusal must leave the image,
// its name, the position and the unsaved-edits flag exactly as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "editor_session.h"

namespace fenk_test {
namespace {

const std::string LOAD_PROMPT = "Enter complete path to file";
const std::string NAME_TOO_LONG = "File name too long (127 characters at most)";
const std::string BLANK_FIELD(57, ' ');

// Waits for a prompt's text in the message field, wherever the prompt puts the cursor.
// (Trailing blanks aside, as message_text trims them.)
testing::AssertionResult wait_prompt(Session& s, std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return s.wait_until([&] { return message_text(s) == text; });
}

// Waits for a message written after `mark` and the cursor back at the message field; the
// whole text is looked for in the stream, since a long one wraps past the field.
testing::AssertionResult wait_message_after(Session& s, const std::string& text, std::size_t mark) {
    return s.wait_until([&] {
        return s.transcript_contains(text, mark) && s.cursor() == std::pair{19, 14};
    });
}

// Starts the editor in `dir`, on the relative name `name` when it is not empty, so that
// names and messages stay short.
Session start_in(const TempDir& dir, const std::string& name, SessionOptions options = {}) {
    options.working_dir = dir.path();
    return Session::fenk(name.empty() ? std::vector<std::string>{} : std::vector{name}, options);
}

Session start_loaded(const TempDir& dir, const std::string& bytes, SessionOptions options = {}) {
    dir.write_file("f.bin", bytes);
    Session s = start_in(dir, "f.bin", std::move(options));
    EXPECT_TRUE(
        wait_message(s, "Image loaded, filesize= " + std::to_string(bytes.size()) + " bytes"));
    return s;
}

// Overwrites the byte at the current position with `text` in text edit mode.
void type_over(Session& s, const std::string& text) {
    s.send("a");
    ASSERT_TRUE(wait_prompt(s, "ASC editing mode.  ESC twice returns to command mode"));
    s.send(text + "\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
}

// Answers the L prompt with `line` (Return added); with unsaved edits, y to the question
// before it.
void load_by_prompt(Session& s, const std::string& line, bool modified = false) {
    s.send("l");
    if (modified) {
        ASSERT_TRUE(s.wait_until([&] {
            return message_text(s) == "File modified, Ok to load?" &&
                   s.cursor() == std::pair{19, 41};
        }));
        s.send("y");
    }
    ASSERT_TRUE(wait_prompt(s, LOAD_PROMPT));
    s.send(line + "\r");
}

void save_by_prompt(Session& s, const std::string& current_name, const std::string& line) {
    s.send("s");
    ASSERT_TRUE(wait_prompt(s, "Enter save-file, return for " + current_name));
    s.send(line + "\r");
}

std::string sparse_file(const TempDir& dir, const std::string& name, off_t size) {
    std::string path = dir.write_file(name, "");
    EXPECT_EQ(::truncate(path.c_str(), size), 0);
    return path;
}

// ---- The L prompt ----

// The whole line, less the blanks around it, is the name: a name with a blank inside loads,
// and nothing of the line reaches the command loop (its "a" would start the text edit
// mode and the rest would overwrite the image).
TEST(LoadPrompt, TheWholeLineWithoutItsOuterBlanksIsTheName) {
    TempDir dir;
    Session s = start_loaded(dir, "old bytes");
    dir.write_file("old backup.png", "new bytes");
    s.send("l");
    ASSERT_TRUE(wait_prompt(s, LOAD_PROMPT));
    EXPECT_EQ(s.text(17, 14, 57), BLANK_FIELD);
    EXPECT_EQ(s.cursor(), (std::pair{17, 14}));
    std::size_t mark = s.transcript_size();
    s.send(" \told backup.png  \r");
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 9 bytes"));
    EXPECT_TRUE(s.transcript_contains(
        "\x1b[5m\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14HLOADING\x1b[19;14H\x1b[0m",
        mark));
    EXPECT_TRUE(s.transcript_contains("Image loaded, filesize= 9 bytes           ", mark));
    EXPECT_EQ(s.text(17, 14, 29), "old backup.png" + std::string(15, ' '));
    EXPECT_EQ(s.text(3, 4, 20), "6E657720 62797465 73");
    EXPECT_EQ(s.text(16, 31, 21), "Sector: 1/1          ");
    s.send("q");  // no edit: Q ends at once
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
    EXPECT_FALSE(s.transcript_contains("editing mode", mark));
    EXPECT_EQ(read_file(dir.file("old backup.png")), "new bytes");
    EXPECT_EQ(read_file(dir.file("f.bin")), "old bytes");
}

TEST(LoadPrompt, WaitsThroughEmptyLinesForAWord) {
    TempDir dir;
    Session s = start_loaded(dir, "old");
    dir.write_file("a", "A");
    s.send("l");
    ASSERT_TRUE(wait_prompt(s, LOAD_PROMPT));
    std::size_t mark = s.transcript_size();
    s.send("\r\r  \r");
    s.send("a\r");
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 1 bytes"));
    EXPECT_FALSE(s.transcript_contains("Cannot open", mark));
    EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
}

// With unsaved edits L asks first, as Q does: one whole key answers, and only y goes on.
// Any other key keeps the image, its edits, their undo and the name; nothing of an arrow
// runs as a command afterwards.
TEST(LoadPrompt, AsksBeforeDroppingUnsavedEditsAndOnlyYGoesOn) {
    TempDir dir;
    Session s = start_loaded(dir, "old");
    dir.write_file("a", "A");
    type_over(s, "Z");
    for (const std::string answer : {"n", "Y", "\r", "\x1b[A", "\x1bOA", "\x1b[1;5A", "\x1b[15~"}) {
        SCOPED_TRACE(answer);
        std::size_t mark = s.transcript_size();
        ASSERT_TRUE(answer_question(s, "l", "File modified, Ok to load?", answer));
        EXPECT_TRUE(s.transcript_contains("Returning to command mode", mark));
        EXPECT_FALSE(s.transcript_contains(LOAD_PROMPT, mark));
        EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
        EXPECT_FALSE(s.transcript_contains("editing mode", mark));
        EXPECT_EQ(s.text(3, 55, 3), "Zld");
        EXPECT_EQ(s.text(17, 14, 5), "f.bin");
    }
    // The pass is still there to undo; after that nothing is modified and L asks nothing.
    s.send("u");
    ASSERT_TRUE(wait_message(s, "Undo!"));
    load_by_prompt(s, "a");
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 1 bytes"));

    // y goes on to the name; the load then drops the edits and the undo of their pass.
    type_over(s, "B");
    load_by_prompt(s, "f.bin", true);
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 3 bytes"));
    s.send("u");
    ASSERT_TRUE(wait_message(s, "Nothing to undo"));
    s.send("q");
    EXPECT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(read_file(dir.file("f.bin")), "old");
    EXPECT_EQ(read_file(dir.file("a")), "A");
}

// ---- Refused loads ----

// Names of 128 bytes or more are refused whole: cutting one short could open another file.
TEST(Load, NameOnTheCommandLineTooLongIsRefusedNotCut) {
    TempDir dir;
    const std::string longest(127, 'n');
    dir.write_file(longest, "x");
    Session s = start_in(dir, longest + "n");
    ASSERT_TRUE(wait_message(s, NAME_TOO_LONG));
    EXPECT_TRUE(s.transcript_contains("\a"));
    EXPECT_EQ(s.row_text(16), std::string(80, ' '));
    EXPECT_EQ(s.text(3, 4, 45), std::string(45, ' '));

    Session ok = start_in(dir, longest);
    EXPECT_TRUE(wait_message(ok, "Image loaded, filesize= 1 bytes"));
}

// A file name is shown with a '?' for each control byte, so that no name can move the
// cursor or change the terminal's attributes; the file is still opened and saved by its real
// name.
TEST(FileNames, ControlBytesInANameAreShownAsQuestionMarks) {
    TempDir dir;
    const std::string name = "a\x1b[7mb\x9b";
    dir.write_file(name, "abc");
    Session s = start_in(dir, name);
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 3 bytes"));
    EXPECT_EQ(s.text(17, 14, 8), "a?[7mb? ");
    EXPECT_FALSE(s.cell(17, 16).reverse);
    ASSERT_TRUE(hex_edit_here(s, "7a"));
    s.send("s");
    ASSERT_TRUE(s.wait_until([&] {
        return message_text(s) == "Enter save-file, return for a?[7mb?" &&
               s.cursor() == std::pair{17, 14};
    }));
    s.send("\r");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file(name)), "zbc");

    Session missing = start_in(dir, "x\ay");
    EXPECT_TRUE(wait_message(missing, "Cannot open file x?y"));
    for (const Session* session : {&s, &missing}) {
        EXPECT_FALSE(session->transcript_contains(name));
        EXPECT_FALSE(session->transcript_contains("x\ay"));
    }
}

TEST(Load, RefusalsLeaveImageNamePositionAndEditsAlone) {
    TempDir dir;
    std::string image(500, 'o');
    Session s = start_loaded(dir, image);
    // Position and unsaved edit: sector 2, byte 240 overwritten, the cursor on 241.
    s.send("\x1b[B");
    ASSERT_TRUE(wait_message(s, "Moving forward one block"));
    type_over(s, "Z");
    image[240] = 'Z';

    ::mkdir(dir.file("dir").c_str(), 0755);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
    sparse_file(dir, "huge", off_t{1} << 31);
    sparse_file(dir, "over", 2147483520);
    const std::string longest(127, 'n');
    dir.write_file(longest, "x");
    struct Case {
        std::string typed;
        std::string message;
    };
    std::vector<Case> cases = {
        {"missing", "Cannot open file missing"},
        {"dir", "Cannot open file dir: not a regular file"},
        {"fifo", "Cannot open file fifo: not a regular file"},  // must not hang
        {"/dev/zero", "Cannot open file /dev/zero: not a regular file"},
        {"huge", "File huge is too large (2147483519 bytes at most)"},
        {"over", "File over is too large (2147483519 bytes at most)"},
        {longest + "n", NAME_TOO_LONG},
        {std::string("a\0b", 3), "File name holds a zero byte"},
    };
    // A file whose size promises more bytes than a read delivers.
    const std::string sysfs = "/sys/kernel/mm/transparent_hugepage/enabled";
    if (::access(sysfs.c_str(), R_OK) == 0) {
        cases.push_back({sysfs, "Cannot read file " + sysfs + ": the file ended early"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::size_t mark = s.transcript_size();
        load_by_prompt(s, c.typed, true);
        ASSERT_TRUE(wait_message_after(s, c.message, mark));
        EXPECT_TRUE(s.transcript_contains("\a", mark));
        EXPECT_EQ(s.text(17, 14, 20), "f.bin" + std::string(15, ' '));
    }
    // The state, repainted from scratch, is the one before the refusals.
    s.send("\x0c");
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    EXPECT_EQ(s.text(16, 31, 12), "Sector: 2/3 ");
    EXPECT_EQ(s.text(16, 53, 15), "Offset: 241/500");
    EXPECT_EQ(s.text(3, 4, 4), "5A6F");
    EXPECT_EQ(s.text(17, 14, 5), "f.bin");
    ASSERT_TRUE(still_modified(s));
    save_by_prompt(s, "f.bin", "");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file("f.bin")), image);
}

#ifndef FENK_SANITIZED  // the sanitizers reserve far more address space than any limit here
// The largest file that fits passes the size check and then fails for want of memory:
// the old image stays.
TEST(Load, ImageThatCannotBeAllocatedLeavesTheOldOne) {
    TempDir dir;
    sparse_file(dir, "largest", 2147483519);
    SessionOptions options;
    options.address_space_limit = rlim_t{1} << 30;
    Session s = start_loaded(dir, "old", options);
    type_over(s, "Z");
    std::size_t mark = s.transcript_size();
    load_by_prompt(s, "largest", true);
    ASSERT_TRUE(wait_message(s, "Not enough memory to load largest"));
    EXPECT_TRUE(s.transcript_contains("\a", mark));
    EXPECT_EQ(s.text(17, 14, 20), "f.bin" + std::string(15, ' '));
    s.send("\x0c");
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    EXPECT_EQ(s.text(3, 4, 6), "5A6C64");
    EXPECT_EQ(s.text(16, 53, 13), "Offset: 1/3  ");
    ASSERT_TRUE(still_modified(s));
}
#endif

// ---- The S prompt and saving ----

// The image replaces the file whole: a file that grew since the load is cut to the image.
TEST(Save, ReturnAloneWritesTheImageBackByteForByte) {
    TempDir dir;
    std::string image;
    for (int i = 0; i < 600; ++i) image += static_cast<char>(i);
    Session s = start_loaded(dir, image);
    type_over(s, "ZY");
    image[0] = 'Z';
    image[1] = 'Y';
    dir.write_file("f.bin", image + "grown meanwhile");
    s.send("s");
    ASSERT_TRUE(wait_prompt(s, "Enter save-file, return for f.bin"));
    EXPECT_EQ(s.text(17, 14, 57), BLANK_FIELD);
    EXPECT_EQ(s.cursor(), (std::pair{17, 14}));
    std::size_t mark = s.transcript_size();
    s.send("\r");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_TRUE(s.transcript_contains(
        "\x1b[5m\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14HSAVING\x1b[19;14H\x1b[0m", mark));
    EXPECT_EQ(read_file(dir.file("f.bin")), image);
    EXPECT_EQ(s.text(17, 14, 57), BLANK_FIELD);
    // Saved: nothing left to undo, nothing to ask about.
    s.send("u");
    ASSERT_TRUE(wait_message(s, "Nothing to undo"));
    s.send("q");
    EXPECT_TRUE(s.wait_exit_status(0));
}

// Keys typed ahead (a paste, or keys typed during a long search) are read before a prompt
// turns to line input, so their Return comes as a carriage return: it ends the answer as
// a Return typed at the prompt does. Taken into the answer, it left the prompt waiting,
// and the next Return saved the image under the name "\r" with "File saved".
TEST(Save, AReturnTypedAheadEndsTheAnswer) {
    TempDir dir;
    Session s = start_loaded(dir, "abcdef");
    type_over(s, "ZY");
    s.send("s\r");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file("f.bin")), "ZYcdef");
    s.send("j4\r");
    ASSERT_TRUE(wait_message(s, "At sector of requested byte"));
    EXPECT_EQ(s.text(16, 53, 11), "Offset: 4/6");
}

TEST(Save, WholeLineIsTheNameAndBecomesTheFileName) {
    TempDir dir;
    mode_t old_mask = ::umask(0);  // the editor sets its own mask
    Session s = start_loaded(dir, "abc");
    ::umask(old_mask);
    save_by_prompt(s, "f.bin", " my file");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file(" my file")), "abc");
    struct stat status {};
    ASSERT_EQ(::stat(dir.file(" my file").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    // Return alone now saves under the new name; the old file is left alone.
    type_over(s, "X");
    save_by_prompt(s, " my file", "");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file(" my file")), "Xbc");
    EXPECT_EQ(read_file(dir.file("f.bin")), "abc");
}

// Before any load there is no image: S refuses at once, with no prompt and no bell, and
// writes nothing (an empty image would cut an existing file to nothing).
TEST(Save, BeforeAnyLoadMustLoadAFileFirst) {
    TempDir dir;
    dir.write_file("out", std::string(5000, 'k'));
    Session s = start_in(dir, "");
    ASSERT_TRUE(wait_message(s, "Waiting for command"));
    for (const char* key : {"s", "S"}) {
        SCOPED_TRACE(key);
        std::size_t mark = s.transcript_size();
        s.send(key);
        ASSERT_TRUE(wait_message(s, "Must load a file first"));
        s.send("\x03");  // still in key mode: a key, not a signal
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        EXPECT_FALSE(s.transcript_contains("Enter save-file", mark));
        EXPECT_FALSE(s.transcript_contains("\a", mark));
    }
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(read_file(dir.file("out")), std::string(5000, 'k'));
}

TEST(Save, RefusalsChangeNothing) {
    TempDir dir;
    Session s = start_loaded(dir, "abc");
    type_over(s, "X");
    ::mkdir(dir.file("dir").c_str(), 0755);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
    const std::string longest(127, 'n');
    struct Case {
        std::string typed;
        std::string message;
    };
    const Case cases[] = {
        {"nodir/x", "Cannot open file nodir/x for writing"},
        {"dir", "Cannot open file dir for writing"},
        {"fifo", "Cannot open file fifo for writing"},  // no reader: must not hang
        {"/dev/null", "Cannot open file /dev/null for writing: not a regular file"},
        {longest + "n", NAME_TOO_LONG},
        {std::string("a\0b", 3), "File name holds a zero byte"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::size_t mark = s.transcript_size();
        save_by_prompt(s, "f.bin", c.typed);
        ASSERT_TRUE(wait_message(s, c.message));
        EXPECT_TRUE(s.transcript_contains("\a", mark));
    }
    EXPECT_NE(::access(dir.file(longest).c_str(), F_OK), 0);
    EXPECT_NE(::access(dir.file("a").c_str(), F_OK), 0);
    EXPECT_EQ(read_file(dir.file("f.bin")), "abc");
    ASSERT_TRUE(still_modified(s));
    save_by_prompt(s, "f.bin", "");
    ASSERT_TRUE(wait_message(s, "File saved"));
    EXPECT_EQ(read_file(dir.file("f.bin")), "Xbc");
}

// A write that fails part way (the file-size limit) is reported with the reason; the file
// on disk keeps its length and the edits stay unsaved.
TEST(Save, FailedWriteKeepsTheFileLengthAndTheEdits) {
    TempDir dir;
    SessionOptions options;
    options.file_size_limit = 100;
    Session s = start_loaded(dir, std::string(300, 'o'), options);
    type_over(s, "X");
    std::size_t mark = s.transcript_size();
    save_by_prompt(s, "f.bin", "");
    ASSERT_TRUE(wait_message(s, "Cannot save file f.bin: File too large"));
    EXPECT_TRUE(s.transcript_contains("\a", mark));
    EXPECT_EQ(read_file(dir.file("f.bin")).size(), 300u);

    save_by_prompt(s, "f.bin", "g.bin");
    ASSERT_TRUE(wait_message(s, "Cannot save file g.bin: File too large"));
    // The edit is still unsaved, and the name is still the loaded file's.
    ASSERT_TRUE(still_modified(s));
    save_by_prompt(s, "f.bin", "nodir/x");
    ASSERT_TRUE(wait_message(s, "Cannot open file nodir/x for writing"));
}

}  // namespace
}  // namespace fenk_test
