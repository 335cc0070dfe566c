// Moving through the image: the four arrow keys and the page keys, G to a sector and J to a
// byte, with their messages, the repaint rules and the whole answer line that G and J read.
#include <gtest/gtest.h>

#include <string>

#include "editor_session.h"

namespace fenk_test {
namespace {

const std::string FIRST_PANEL_ROW = "\x1b[3;4H";  // where every repaint of the panels begins

// A file whose sectors can be told apart: 240 'a', 240 'b', ... and `size` bytes in all.
std::string lettered(int size) {
    std::string bytes;
    for (int i = 0; i < size; ++i) bytes += static_cast<char>('a' + i / 240);
    return bytes;
}

std::string sector_counter(const Session& s) { return s.text(16, 31, 11); }

std::string offset_counter(const Session& s) {
    std::string text = s.text(16, 53, 20);
    return text.substr(0, text.find(' ', 8));
}

TEST(Arrows, StepAndJumpWithTheirMessagesAndRepaintOnlyWhenTheViewMoves) {
    struct Step {
        const char* key;
        const char* message;
        const char* sector;
        const char* offset;
        char shown;  // the first byte of the sector shown
    };
    const Step steps[] = {
        {"\x1b[A", "Already at begining of data", "Sector: 1/3", "Offset: 0/600", 0},
        {"\x1b[B", "Moving forward one block", "Sector: 2/3", "Offset: 240/600", 'b'},
        {"\x1b[C", "At end of data", "Sector: 3/3", "Offset: 480/600", 'c'},
        {"\x1b[B", "Already at end of data", "Sector: 3/3", "Offset: 480/600", 0},
        {"\x1b[A", "Moving backward one block", "Sector: 2/3", "Offset: 240/600", 'b'},
        {"\x1b[D", "At begining of data", "Sector: 1/3", "Offset: 0/600", 'a'},
    };
    TempDir dir;
    Session s = start_editor(dir, lettered(600));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.message);
        s.send("\x03");
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        const std::size_t mark = s.transcript_size();
        s.send(step.key);
        ASSERT_TRUE(wait_message(s, step.message));
        EXPECT_EQ(sector_counter(s), step.sector);
        EXPECT_EQ(offset_counter(s), step.offset);
        const std::size_t repaint = s.transcript().find(FIRST_PANEL_ROW, mark);
        if (step.shown == 0) {
            EXPECT_EQ(repaint, std::string::npos) << "no repaint";
            continue;
        }
        EXPECT_EQ(s.text(3, 55, 1), std::string(1, step.shown));
        // The message comes first; the repaint then leaves the cursor in the message field.
        EXPECT_LT(s.transcript().find(step.message, mark), repaint);
    }
}

// PgUp and PgDn act as the up and down arrows, Home and End (in each form terminals send)
// as left and right; arrows in application mode (ESC O) are arrows.
TEST(PageKeys, ActAsTheArrowsWithTheirMessages) {
    struct Press {
        const char* key;
        const char* message;
        const char* sector;
    };
    const Press presses[] = {
        {"\x1b[6~", "Moving forward one block", "Sector: 2/3"},
        {"\x1b[4~", "At end of data", "Sector: 3/3"},
        {"\x1b[6~", "Already at end of data", "Sector: 3/3"},
        {"\x1b[5~", "Moving backward one block", "Sector: 2/3"},
        {"\x1b[H", "At begining of data", "Sector: 1/3"},
        {"\x1b[5~", "Already at begining of data", "Sector: 1/3"},
        {"\x1b[F", "At end of data", "Sector: 3/3"},
        {"\x1b[1~", "At begining of data", "Sector: 1/3"},
        {"\x1bOF", "At end of data", "Sector: 3/3"},
        {"\x1bOH", "At begining of data", "Sector: 1/3"},
        {"\x1bOB", "Moving forward one block", "Sector: 2/3"},
        {"\x1bOC", "At end of data", "Sector: 3/3"},
        {"\x1bOA", "Moving backward one block", "Sector: 2/3"},
        {"\x1bOD", "At begining of data", "Sector: 1/3"},
    };
    TempDir dir;
    Session s = start_editor(dir, lettered(600));
    const std::size_t mark = s.transcript_size();
    for (const Press& press : presses) {
        SCOPED_TRACE(press.message);
        s.send("\x03");
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        s.send(press.key);
        ASSERT_TRUE(wait_message(s, press.message));
        EXPECT_EQ(sector_counter(s), press.sector);
    }
    EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
}

TEST(Arrows, WithoutAFileOnlyShowTheirMessages) {
    const std::pair<const char*, const char*> cases[] = {
        {"\x1b[D", "At begining of data"},
        {"\x1b[C", "At end of data"},
        {"\x1b[A", "Already at begining of data"},
        {"\x1b[B", "Already at end of data"},
    };
    Session s = start_empty_editor();
    for (const auto& [key, message] : cases) {
        s.send(key);
        ASSERT_TRUE(wait_message(s, message));
        EXPECT_EQ(s.row_text(16), std::string(80, ' '));
        EXPECT_EQ(s.text(3, 55, 20), std::string(20, ' '));
    }
}

TEST(Arrows, CursorMayStandPastTheEndOfAPartlyFilledLastSector) {
    TempDir dir;
    Session s = start_editor(dir, lettered(300));
    s.send("j");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, 37}; }));
    s.send("230\r");
    ASSERT_TRUE(wait_message(s, "At sector of requested byte"));
    EXPECT_EQ(offset_counter(s), "Offset: 230/300");

    s.send("\x1b[B");
    ASSERT_TRUE(wait_message(s, "Moving forward one block"));
    EXPECT_EQ(sector_counter(s), "Sector: 2/2");
    EXPECT_EQ(offset_counter(s), "Offset: 470/300");
    EXPECT_EQ(s.text(5, 55, 20), std::string(20, 'b'));  // bytes 280..299
    EXPECT_EQ(s.text(6, 55, 20), std::string(20, '#'));  // past the end

    s.send("\x1b[A");
    ASSERT_TRUE(wait_message(s, "Moving backward one block"));
    EXPECT_EQ(offset_counter(s), "Offset: 230/300");
}

TEST(Arrows, EndOfAFileOfWholeSectorsIsAnEmptySector) {
    TempDir dir;
    Session s = start_editor(dir, lettered(240));
    s.send("\x1b[C");
    ASSERT_TRUE(wait_message(s, "At end of data"));
    EXPECT_EQ(sector_counter(s), "Sector: 2/2");
    EXPECT_EQ(offset_counter(s), "Offset: 240/240");
    for (int row = 3; row <= 14; ++row) EXPECT_EQ(s.text(row, 55, 20), std::string(20, '#'));
}

struct Answer {
    const char* typed;  // the line typed after the prompt, Return included
    const char* message;
    const char* sector;  // the sector counter afterwards
    const char* offset;  // the offset counter afterwards
};

// Answers G or J (key) once for each case, in order, and checks that nothing of the line
// reaches the command loop and that a refusal repaints nothing.
void answer_prompt(char key, int answer_col, const std::vector<Answer>& answers) {
    TempDir dir;
    Session s = start_editor(dir, lettered(900));
    for (const Answer& a : answers) {
        SCOPED_TRACE(a.typed);
        const std::size_t mark = s.transcript_size();
        s.send(std::string(1, key));
        ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, answer_col}; }));
        s.send(a.typed);
        ASSERT_TRUE(wait_message(s, a.message));
        EXPECT_EQ(sector_counter(s), a.sector);
        EXPECT_EQ(offset_counter(s), a.offset);
        const bool accepted = std::string(a.message).starts_with("At ");
        EXPECT_EQ(s.transcript_contains(FIRST_PANEL_ROW, mark), accepted);
        if (accepted) {  // the repaint comes before the message
            EXPECT_LT(s.transcript().find(FIRST_PANEL_ROW, mark),
                      s.transcript().find(a.message, mark));
        }
        s.send("\x03");
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        EXPECT_FALSE(s.transcript_contains("Not a valid command", mark)) << s.dump();
        EXPECT_FALSE(s.transcript_contains("No search to continue", mark)) << s.dump();
    }
}

TEST(GotoSector, AcceptsSectorsOneToLastAndRefusesTheRestUnchanged) {
    answer_prompt('g', 36,
                  {
                      {"4\r", "At requested sector", "Sector: 4/4", "Offset: 720/900"},
                      {"1\r", "At requested sector", "Sector: 1/4", "Offset: 0/900"},
                      {"+3\r", "At requested sector", "Sector: 3/4", "Offset: 480/900"},
                      {"0\r", "Sector out of range", "Sector: 3/4", "Offset: 480/900"},
                      {"-1\r", "Sector out of range", "Sector: 3/4", "Offset: 480/900"},
                      {"5\r", "Sector out of range", "Sector: 3/4", "Offset: 480/900"},
                      {"2147483648\r", "Sector out of range", "Sector: 3/4", "Offset: 480/900"},
                      {"-99999999999\r", "Sector out of range", "Sector: 3/4", "Offset: 480/900"},
                      {"abc\r", "Not a valid number", "Sector: 3/4", "Offset: 480/900"},
                      {"-x c\r", "Not a valid number", "Sector: 3/4", "Offset: 480/900"},
                      {"\r\r 2\r", "At requested sector", "Sector: 2/4", "Offset: 240/900"},
                      {"$4\r", "At requested sector", "Sector: 4/4", "Offset: 720/900"},
                      {" \t0X1 \r", "At requested sector", "Sector: 1/4", "Offset: 0/900"},
                      {"0x80000000\r", "Sector out of range", "Sector: 1/4", "Offset: 0/900"},
                      {"$5\r", "Sector out of range", "Sector: 1/4", "Offset: 0/900"},
                      {"4xc\r", "Not a valid number", "Sector: 1/4", "Offset: 0/900"},
                      {"3 ha\r", "Not a valid number", "Sector: 1/4", "Offset: 0/900"},
                      {"0x\r", "Not a valid number", "Sector: 1/4", "Offset: 0/900"},
                      {"$\r", "Not a valid number", "Sector: 1/4", "Offset: 0/900"},
                      {"-$2\r", "Not a valid number", "Sector: 1/4", "Offset: 0/900"},
                  });
}

TEST(JumpToByte, AcceptsOffsetsZeroToTheSizeAndRefusesTheRestUnchanged) {
    answer_prompt('j', 37,
                  {
                      {"250\r", "At sector of requested byte", "Sector: 2/4", "Offset: 250/900"},
                      {"900\r", "At sector of requested byte", "Sector: 4/4", "Offset: 900/900"},
                      {"0\r", "At sector of requested byte", "Sector: 1/4", "Offset: 0/900"},
                      {"-1\r", "Byte out of range", "Sector: 1/4", "Offset: 0/900"},
                      {"901\r", "Byte out of range", "Sector: 1/4", "Offset: 0/900"},
                      {"2147483647\r", "Byte out of range", "Sector: 1/4", "Offset: 0/900"},
                      {"-2147483649\r", "Byte out of range", "Sector: 1/4", "Offset: 0/900"},
                      {"x\r", "Not a valid number", "Sector: 1/4", "Offset: 0/900"},
                      {"0x1A2\r", "At sector of requested byte", "Sector: 2/4", "Offset: 418/900"},
                      {"$384\r", "At sector of requested byte", "Sector: 4/4", "Offset: 900/900"},
                      {"$385\r", "Byte out of range", "Sector: 4/4", "Offset: 900/900"},
                      {"0xfa \r", "At sector of requested byte", "Sector: 2/4", "Offset: 250/900"},
                      {"4,096\r", "Not a valid number", "Sector: 2/4", "Offset: 250/900"},
                      {"12abc\r", "Not a valid number", "Sector: 2/4", "Offset: 250/900"},
                      {"1a2b\r", "Not a valid number", "Sector: 2/4", "Offset: 250/900"},
                      {"7 bytes\r", "Not a valid number", "Sector: 2/4", "Offset: 250/900"},
                  });
}

// The answers that once ran as commands and overwrote the file: J 0x1a2b, G 5 ha, J 4,096.
// Each now reads its whole line; the file stays byte for byte as it was, and Q, finding
// nothing modified, ends at once.
TEST(NumberPrompts, NothingOfAnAnswerLineRunsAsACommand) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 7000; ++i) bytes += static_cast<char>(i % 251);
    Session s = start_editor(dir, bytes);
    struct Step {
        char key;
        int answer_col;
        const char* typed;
        const char* message;
        const char* offset;
    };
    const Step steps[] = {
        {'J', 37, "0x1a2b\r", "At sector of requested byte", "Offset: 6699/7000"},
        {'G', 36, "5 ha\r", "Not a valid number", "Offset: 6699/7000"},
        {'J', 37, "4,096\r", "Not a valid number", "Offset: 6699/7000"},
        {'G', 36, "$1C\r", "At requested sector", "Offset: 6480/7000"},
    };
    const std::size_t mark = s.transcript_size();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.typed);
        s.send(std::string(1, step.key));
        ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{19, step.answer_col}; }));
        s.send(step.typed);
        ASSERT_TRUE(wait_message(s, step.message));
        EXPECT_EQ(offset_counter(s), step.offset);
    }
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_FALSE(s.transcript_contains("Not a valid command", mark));
    EXPECT_FALSE(s.transcript_contains("editing mode", mark));
    EXPECT_EQ(read_file(dir.file("f.bin")), bytes);
}

TEST(GotoSector, WithoutAFileNeitherGNorJAsks) {
    Session s = start_empty_editor();
    for (const char* key : {"g", "J"}) {
        SCOPED_TRACE(key);
        const std::size_t mark = s.transcript_size();
        s.send(key);
        ASSERT_TRUE(wait_message(s, "Must load a file first"));
        s.send("\x03");  // still in key mode: a key, not a signal
        ASSERT_TRUE(wait_message(s, "Hit 'Q' to exit"));
        EXPECT_FALSE(s.transcript_contains("Enter", mark));
    }
}

}  // namespace
}  // namespace fenk_test
