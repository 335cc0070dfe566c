// Searching through the real binary: the < and > prompts, what a line turns into, the C
// command, where a search may and may not find its pattern, the blinking progress word, and
// the bold highlight of a match in both panels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "editor_session.h"

namespace fenk_test {
namespace {

using namespace std::string_literals;

const std::string PROMPT = "Enter string to locate ($num for hex):";
const std::string FOUND = "String found";
const std::string NOT_FOUND = "String not found";
const std::string NOT_HEX = "Not a valid HEX number";
const std::string NO_SEARCH = "No search to continue";
const std::string NO_FILE = "Must load a file first";
const std::string TEXT_TOO_LONG = "Search text too long (510 characters at most)";
const std::string HEX_TOO_LONG = "HEX number too long (254 digits at most)";
const std::string JUMPED = "At sector of requested byte";
const std::string DOWN = "Moving forward one block";
const std::string REDRAWN = "Waiting for command";
const std::string HOME = "\x1b[19;14H";

enum class Scan { none, forward, backward };

// One command and what it must leave: the message and the cursor offset.
struct Step {
    std::string key;     // ">", "<", "c", "j", the down arrow or Ctrl-L
    std::string answer;  // the line typed at the prompt of >, < or j (Return added)
    std::string message;
    int offset;              // -1: not checked (a long echo has scrolled the status line away)
    Scan scan = Scan::none;  // the scan the command must run, if any
};

// The blinking progress word as it must reach the terminal before a scan.
std::string progress_bytes(Scan scan) {
    return "\x1b[5m" +
           message_bytes(scan == Scan::forward ? "Searching forward" : "Searching backward") +
           "\x1b[0m";
}

// The 65 columns of the message field, trailing blanks trimmed. (A long answer's echo runs
// on past the field's end, where no message blanks it.)
std::string message_field(const Session& s) {
    std::string text = s.text(19, 14, 65);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// Offset counter of the status line, e.g. "Offset: 58/600".
std::string offset_counter(const Session& s) {
    std::string text = s.text(16, 53, 28);
    return text.substr(0, text.find(' ', 8));
}

// Waits until `message`, written after `mark`, and everything the command drew after it are
// on the screen. A found match ends with attributes off and the cursor sent home; the sector
// view's own output never ends that way here, as no fixture holds a '-' in a sector's last cell.
testing::AssertionResult wait_outcome(Session& s, std::size_t mark, const std::string& message) {
    const std::string bytes = message_bytes(message);
    return s.wait_until([&] {
        std::string_view tail = std::string_view(s.transcript()).substr(mark);
        std::size_t at = tail.find(bytes);
        if (at == std::string_view::npos) return false;
        if (message != FOUND) return tail.ends_with(HOME);
        return tail.size() > at + bytes.size() && tail.ends_with("\x1b[0m" + HOME);
    });
}

testing::AssertionResult wait_prompt(Session& s, const std::string& prompt, int answer_col) {
    return s.wait_until([&] {
        return message_field(s) == prompt && s.cursor() == std::pair{19, answer_col};
    });
}

// Runs one step and checks its message, the offset, the bell and the progress word.
void run_step(Session& s, const Step& step, int size) {
    SCOPED_TRACE("step " + step.key + " " + testing::PrintToString(step.answer) + " -> " +
                 step.message);
    std::size_t mark = s.transcript_size();
    if (step.key == ">" || step.key == "<" || step.key == "j") {
        s.send(step.key);
        ASSERT_TRUE(step.key == "j" ? wait_prompt(s, "Enter byte to jump to:", 37)
                                    : wait_prompt(s, PROMPT, 53));
        mark = s.transcript_size();
        s.send(step.answer + "\r");
    } else {
        s.send(step.key);
    }
    const std::string offset =
        "Offset: " + std::to_string(step.offset) + "/" + std::to_string(size);
    ASSERT_TRUE(wait_outcome(s, mark, step.message));
    if (step.offset >= 0) {
        ASSERT_TRUE(s.wait_until([&] { return offset_counter(s) == offset; }));
    }
    EXPECT_EQ(message_field(s), step.message);
    EXPECT_EQ(s.cursor(), (std::pair{19, 14}));

    const std::string_view tail = std::string_view(s.transcript()).substr(mark);
    EXPECT_EQ(tail.find('\a') != std::string_view::npos, step.message == NOT_FOUND)
        << "the bell rings for a search that finds nothing, and only then";
    if (step.scan == Scan::none) {
        EXPECT_EQ(tail.find("Searching"), std::string_view::npos) << "no scan may run";
        return;
    }
    const std::size_t word = tail.find(progress_bytes(step.scan));
    ASSERT_NE(word, std::string_view::npos) << "the progress word";
    EXPECT_LT(word, tail.find(message_bytes(step.message))) << "the word comes first";
    if (step.message == NOT_FOUND) {
        EXPECT_EQ(tail.substr(word), progress_bytes(step.scan) + "\a" + message_bytes(NOT_FOUND))
            << "nothing but the bell and the message after the scan";
    }
}

void run_steps(Session& s, const std::vector<Step>& steps, int size) {
    for (const Step& step : steps) {
        run_step(s, step, size);
        if (testing::Test::HasFatalFailure()) return;
    }
}

// ---- Entry: refusals, invalid and overlong lines ----

TEST(SearchEntry, WithoutAFileOrASearchNothingIsReadOrRun) {
    Session s = start_empty_editor();
    // The refused < and > read nothing: the c typed after them is a command.
    for (std::string keys : {"c", "<c", ">c"}) {
        SCOPED_TRACE(keys);
        const std::size_t mark = s.transcript_size();
        s.send(keys);
        ASSERT_TRUE(wait_outcome(s, mark, NO_SEARCH));
        if (keys.size() == 2) {
            EXPECT_TRUE(s.transcript_contains(message_bytes(NO_FILE), mark));
            EXPECT_FALSE(s.transcript_contains(PROMPT, mark));
        }
    }
    EXPECT_EQ(s.transcript().find('\a'), std::string::npos) << "refusals ring no bell";
}

TEST(SearchEntry, InvalidHexLinesRunNoSearch) {
    TempDir dir;
    const std::string image = "x$zy";
    Session s = start_editor(dir, image);
    run_steps(s,
              {
                  {">", "$4g", NOT_HEX, 0},
                  {"<", "$41 42", NOT_HEX, 0},
                  {">", "$z", NOT_HEX, 0},
                  {">", "$ ", NOT_HEX, 0},
                  {"<", "$4\0"s + "1", NOT_HEX, 0},
                  // No valid pattern yet, so there is nothing for C to repeat.
                  {"c", "", NO_SEARCH, 0},
                  // "$z" can only be searched for in hex.
                  {">", "$247a", FOUND, 1, Scan::forward},
              },
              4);
}

// A refused hex line keeps the last pattern; C repeats it in the direction of the new entry.
TEST(SearchEntry, InvalidHexLineTurnsTheRepeatedSearch) {
    TempDir dir;
    Session s = start_editor(dir, "abxabxabx");
    run_steps(s,
              {
                  {">", "ab", FOUND, 3, Scan::forward},
                  {"c", "", FOUND, 6, Scan::forward},
                  {"<", "$zz", NOT_HEX, 6},
                  {"c", "", FOUND, 3, Scan::backward},
                  {">", "$4 1", NOT_HEX, 3},
                  {"c", "", FOUND, 6, Scan::forward},
              },
              9);
}

// The longest lines that fit are searched; one character more is refused, and the search
// before it stays as it was, direction included. (The echo of a long line scrolls the
// screen; Ctrl-L draws it again.)
TEST(SearchEntry, OverlongLinesAreRefusedAndKeepThePreviousSearch) {
    TempDir dir;
    Session s = start_editor(dir, std::string(600, 'a'));
    std::string hex_127_bytes = "$";
    for (int i = 0; i < 127; ++i) hex_127_bytes += "61";
    run_steps(s,
              {
                  {">", std::string(510, 'a'), FOUND, 1, Scan::forward},
                  {">", std::string(511, 'a'), TEXT_TOO_LONG, -1},
                  {"\x0c", "", REDRAWN, 1},
                  {"c", "", FOUND, 2, Scan::forward},
                  {"<", hex_127_bytes, FOUND, 1, Scan::backward},
                  {">", "$0" + hex_127_bytes.substr(1), HEX_TOO_LONG, -1},
                  {"\x0c", "", REDRAWN, 1},
                  {"c", "", FOUND, 0, Scan::backward},
                  {"c", "", NOT_FOUND, 0, Scan::backward},
              },
              600);
}

// A zero byte typed into the line passes the terminal's line input and is a pattern byte:
// were it taken as the end of the line, "a" would be found at 1; were it dropped, nothing.
TEST(SearchEntry, TypedZeroByteIsAPatternByte) {
    TempDir dir;
    const std::string image("za\x01za\0bza\0b", 11);
    Session s = start_editor(dir, image);
    run_steps(s,
              {
                  {">", "a\0b"s, FOUND, 4, Scan::forward},
                  {"c", "", FOUND, 8, Scan::forward},
                  {"<", "$610062", FOUND, 4, Scan::backward},
              },
              11);
}

// The pattern, its length and direction outlast a load: C looks for the old pattern in the
// new image, from its start (but never at offset 0 itself).
TEST(SearchEntry, SearchOutlastsALoad) {
    TempDir dir;
    const std::string other = dir.write_file("g.bin", "abzab");
    Session s = start_editor(dir, "xxabxx");
    run_steps(s, {{">", "ab", FOUND, 2, Scan::forward}}, 6);
    s.send("l");
    ASSERT_TRUE(s.wait_until([&] { return message_text(s) == "Enter complete path to file"; }));
    s.send(other + "\r");
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 5 bytes"));
    run_steps(s,
              {
                  {"c", "", FOUND, 3, Scan::forward},
                  {"c", "", NOT_FOUND, 3, Scan::forward},
              },
              5);
}

// ---- Where a pattern matches ----

struct Scenario {
    const char* what;
    std::string image;
    std::vector<Step> steps;
};

TEST(FindPattern, MatchesOnlyNextToTheCursorAndWhollyInsideTheImage) {
    const auto fwd = Scan::forward;
    const auto back = Scan::backward;
    const std::vector<Scenario> scenarios = {
        {"overlapping matches, the last one ends the image",
         "aaaa",
         {{">", "aa", FOUND, 1, fwd}, {"c", "", FOUND, 2, fwd}, {"c", "", NOT_FOUND, 2, fwd}}},
        {"never at the cursor itself; backward from 0 at once",
         "abcd",
         {{">", "ab", NOT_FOUND, 0, fwd},
          {"j", "3", JUMPED, 3},
          {"<", "ab", FOUND, 0, back},
          {"<", "ab", NOT_FOUND, 0, back},
          {"c", "", NOT_FOUND, 0, back}}},
        {"repeated forward, then backward",
         "abc.abc.abc.abc",
         {{">", "abc", FOUND, 4, fwd},
          {"c", "", FOUND, 8, fwd},
          {"c", "", FOUND, 12, fwd},
          {"c", "", NOT_FOUND, 12, fwd},
          {"<", "abc", FOUND, 8, back},
          {"c", "", FOUND, 4, back},
          {"c", "", FOUND, 0, back},
          {"c", "", NOT_FOUND, 0, back}}},
        {"text keeps its case",
         "ABCabc",
         {{">", "abc", FOUND, 3, fwd},
          {">", "ABC", NOT_FOUND, 3, fwd},
          {"<", "ABC", FOUND, 0, back}}},
        {"00 FF only where a zero byte is followed by FF",
         std::string("\x01\0\x01\xff\0\xff", 6),
         {{">", "$00ff", FOUND, 4, fwd}, {"<", "$00FF", NOT_FOUND, 4, back}}},
        {"a pattern longer than the image; one as long",
         "abc",
         {{">", "abcd", NOT_FOUND, 0, fwd},
          {"j", "3", JUMPED, 3},
          {"<", "abcd", NOT_FOUND, 3, back},
          {"<", "abc", FOUND, 0, back}}},
        {"the empty pattern, up to one past the last byte",
         "hello",
         {{">", "", FOUND, 1, fwd},
          {">", "$", FOUND, 2, fwd},
          {"<", "", FOUND, 1, back},
          {"j", "4", JUMPED, 4},
          {">", "", FOUND, 5, fwd},
          {"c", "", NOT_FOUND, 5, fwd},
          {"<", "$", FOUND, 4, back}}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.what);
        TempDir dir;
        Session s = start_editor(dir, scenario.image);
        run_steps(s, scenario.steps, static_cast<int>(scenario.image.size()));
    }
}

// A step down into a partly filled last sector leaves the cursor past the end of the image:
// forward nothing is found; backward only from up to one past the end.
TEST(FindPattern, CursorPastTheEndOfTheImage) {
    const auto fwd = Scan::forward;
    const auto back = Scan::backward;
    TempDir dir;
    Session s = start_editor(dir, std::string(250, 'q'));
    run_steps(s,
              {
                  {"j", "250", JUMPED, 250},
                  {">", "", NOT_FOUND, 250, fwd},
                  {"j", "11", JUMPED, 11},
                  {"\x1b[B", "", DOWN, 251},
                  {"<", "q", FOUND, 249, back},
                  {"j", "11", JUMPED, 11},
                  {"\x1b[B", "", DOWN, 251},
                  {"<", "", FOUND, 250, back},
                  {"j", "239", JUMPED, 239},
                  {"\x1b[B", "", DOWN, 479},
                  {">", "", NOT_FOUND, 479, fwd},
                  {"<", "", NOT_FOUND, 479, back},
                  {"<", "q", NOT_FOUND, 479, back},
              },
              250);
}

// ---- The match on the screen ----

// 600 bytes in which every run of up to 256 bytes occurs once (consecutive bytes differ by
// 7), with "A", 0, 1, "B" at 100.
std::string numbered_image() {
    std::string image(600, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 3);
    image.replace(100, 4,
                  std::string("A\0\x01"
                              "B",
                              4));
    return image;
}

std::string hex_line(std::string_view bytes) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string line = "$";
    for (char ch : bytes) {
        auto byte = static_cast<unsigned char>(ch);
        line += DIGITS[byte >> 4];
        line += DIGITS[byte & 15];
    }
    return line;
}

// Both panels of `sector` show the image, with exactly the cells of the match from `first`
// (`length` bytes, cut at the end of the sector) in bold: both digits of a pair and the blank
// after each fourth pair in the hex panel, the cell in the text panel. A '-' in the image is
// bold anyway.
void expect_highlight(const Session& s, const std::string& image, int sector, int first,
                      int length) {
    for (int r = 0; r < 12; ++r) {
        const int row_start = sector * 240 + r * 20;
        const auto at = static_cast<std::size_t>(row_start);
        EXPECT_EQ(s.text(3 + r, 4, 45), hex_panel_row(image, at)) << "hex row " << r;
        EXPECT_EQ(s.text(3 + r, 55, 20), text_panel_row(image, at)) << "text row " << r;
        for (int c = 0; c < 20; ++c) {
            const int p = row_start + c;
            const bool in = p >= first && p < first + length;
            const int hex_col = 4 + 2 * c + c / 4;
            SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
            EXPECT_EQ(s.cell(3 + r, hex_col).bold, in);
            EXPECT_EQ(s.cell(3 + r, hex_col + 1).bold, in);
            if (c % 4 == 3) {
                EXPECT_EQ(s.cell(3 + r, hex_col + 2).bold, in) << "group gap";
            }
            const bool dash =
                p < static_cast<int>(image.size()) && image[static_cast<std::size_t>(p)] == '-';
            EXPECT_EQ(s.cell(3 + r, 55 + c).bold, in || dash);
        }
    }
}

TEST(FindPattern, HighlightLiesExactlyOverTheMatchInBothPanels) {
    struct Case {
        const char* what;
        int first;           // where the match starts; the cursor is put one byte before it
        std::size_t length;  // pattern bytes
        int sector;          // 0-based sector shown afterwards
    };
    const Case cases[] = {
        {"five bytes from column 18 of row 2", 58, 5, 0},
        {"the last byte ends a row", 16, 4, 0},
        {"bytes that cannot be shown", 100, 4, 0},
        {"from row 11 into the next sector", 230, 15, 0},
        {"the whole of row 11 and on", 460, 25, 1},
        {"the last cell of a sector", 239, 3, 0},
        {"the empty pattern", 300, 0, 1},
    };
    TempDir dir;
    const std::string image = numbered_image();
    Session s = start_editor(dir, image);
    // Row 20 is left out: the echo of a long answer runs into it.
    const std::array<int, 9> frame_rows = {1, 2, 15, 17, 18, 21, 22, 23, 24};
    std::vector<std::string> frame;
    for (int row : frame_rows) frame.push_back(s.row_text(row));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto from = static_cast<std::size_t>(c.first);
        const std::string line = hex_line(std::string_view(image).substr(from, c.length));
        run_steps(s,
                  {{"j", std::to_string(c.first - 1), JUMPED, c.first - 1},
                   {">", line, FOUND, c.first, Scan::forward}},
                  600);
        if (HasFatalFailure()) return;
        EXPECT_EQ(s.text(16, 31, 11), "Sector: " + std::to_string(c.sector + 1) + "/3");
        expect_highlight(s, image, c.sector, c.first, static_cast<int>(c.length));
        for (std::size_t i = 0; i < frame_rows.size(); ++i) {
            EXPECT_EQ(s.row_text(frame_rows[i]), frame[i]) << "row " << frame_rows[i];
        }
    }
}

// "String not found" changes nothing on the screen but the message field: the highlight of the
// last match stays, and so does the position.
TEST(FindPattern, NotFoundLeavesPositionAndScreenAsTheyWere) {
    TempDir dir;
    const std::string image = numbered_image();
    Session s = start_editor(dir, image);
    run_steps(s,
              {{"j", "57", JUMPED, 57},
               {">", hex_line(std::string_view(image).substr(58, 5)), FOUND, 58, Scan::forward}},
              600);
    auto snapshot = [&] {
        std::vector<std::string> cells;
        for (int row = 1; row <= 24; ++row) {
            if (row == 19) continue;
            std::string line = s.row_text(row) + "|";
            for (int col = 1; col <= 80; ++col) line += s.cell(row, col).bold ? 'B' : '.';
            cells.push_back(line);
        }
        return cells;
    };
    const std::vector<std::string> before = snapshot();
    run_steps(s,
              {{">", "zz", NOT_FOUND, 58, Scan::forward},
               {"<", "zz", NOT_FOUND, 58, Scan::backward},
               {"c", "", NOT_FOUND, 58, Scan::backward}},
              600);
    EXPECT_EQ(snapshot(), before);
}

// The word is flushed before the scan: over a large image it is on the screen, blinking, while
// the scan runs, before the answer comes. A scan of 256 MiB takes tens of milliseconds, so
// the word is looked for at each of a few searches in turn; a word written only with the
// answer would never be seen alone.
TEST(FindPattern, ProgressWordBlinksWhileALongScanRuns) {
    constexpr off_t SIZE = off_t{256} << 20;
    TempDir dir;
    const std::string path = dir.write_file("big.bin", "");
    ASSERT_EQ(::truncate(path.c_str(), SIZE), 0);
    Session s = Session::fenk({path});
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= " + std::to_string(SIZE) + " bytes"));
    s.send(">");
    ASSERT_TRUE(wait_prompt(s, PROMPT, 53));
    std::size_t mark = s.transcript_size();
    s.send("$0000000001\r");
    bool seen = false;
    for (int attempt = 0; attempt < 8 && !seen; ++attempt) {
        if (attempt > 0) {
            mark = s.transcript_size();
            s.send("c");
        }
        const std::string answer = message_bytes(NOT_FOUND);
        ASSERT_TRUE(s.wait_until([&] {
            seen = message_field(s) == "Searching forward" && s.cell(19, 14).blink &&
                   s.cursor() == std::pair{19, 14} && !s.transcript_contains(answer, mark);
            return seen || s.transcript_contains(answer, mark);
        }));
        ASSERT_TRUE(wait_outcome(s, mark, NOT_FOUND));
        EXPECT_FALSE(s.cell(19, 14).blink) << "the answer is not blinking";
    }
    EXPECT_TRUE(seen) << "the blinking word never showed before the answer";
}

}  // namespace
}  // namespace fenk_test
