// The character chart of the T command: its exact rows, the wait for the space bar, and the
// editor screen rebuilt as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_session.h"

namespace fenk_test {
namespace {

const std::string HEADER =
    "CHR DEC HX   CHR DEC HX   CHR DEC HX   CHR DEC HX   CHR DEC HX   CHR DEC HX";

// Screen rows 2 to 23: code r + 22g in group g of table row r.
const char* const TABLE[22] = {
    "  nul 000 00 | syn 022 16 |  ,  044 2C |  B  066 42 |  X  088 58 |  n  110 6E  ",
    "  soh 001 01 | etb 023 17 |  -  045 2D |  C  067 43 |  Y  089 59 |  o  111 6F  ",
    "  stx 002 02 | can 024 18 |  .  046 2E |  D  068 44 |  Z  090 5A |  p  112 70  ",
    "  etx 003 03 | em  025 19 |  /  047 2F |  E  069 45 |  [  091 5B |  q  113 71  ",
    "  eot 004 04 | sub 026 1A |  0  048 30 |  F  070 46 |  \\  092 5C |  r  114 72  ",
    "  enq 005 05 | esc 027 1B |  1  049 31 |  G  071 47 |  ]  093 5D |  s  115 73  ",
    "  ack 006 06 | fs  028 1C |  2  050 32 |  H  072 48 |  ^  094 5E |  t  116 74  ",
    "  bel 007 07 | gs  029 1D |  3  051 33 |  I  073 49 |  _  095 5F |  u  117 75  ",
    "  bs  008 08 | rs  030 1E |  4  052 34 |  J  074 4A |  `  096 60 |  v  118 76  ",
    "  ht  009 09 | us  031 1F |  5  053 35 |  K  075 4B |  a  097 61 |  w  119 77  ",
    "  nl  010 0A | sp  032 20 |  6  054 36 |  L  076 4C |  b  098 62 |  x  120 78  ",
    "  vt  011 0B |  !  033 21 |  7  055 37 |  M  077 4D |  c  099 63 |  y  121 79  ",
    "  np  012 0C |  \"  034 22 |  8  056 38 |  N  078 4E |  d  100 64 |  z  122 7A  ",
    "  cr  013 0D |  #  035 23 |  9  057 39 |  O  079 4F |  e  101 65 |  {  123 7B  ",
    "  so  014 0E |  $  036 24 |  :  058 3A |  P  080 50 |  f  102 66 |  |  124 7C  ",
    "  si  015 0F |  %  037 25 |  ;  059 3B |  Q  081 51 |  g  103 67 |  }  125 7D  ",
    "  dle 016 10 |  &  038 26 |  <  060 3C |  R  082 52 |  h  104 68 |  ~  126 7E  ",
    "  dc1 017 11 |  '  039 27 |  =  061 3D |  S  083 53 |  i  105 69 | del 127 7F  ",
    "  dc2 018 12 |  (  040 28 |  >  062 3E |  T  084 54 |  j  106 6A |",
    "  dc3 019 13 |  )  041 29 |  ?  063 3F |  U  085 55 |  k  107 6B |",
    "  dc4 020 14 |  *  042 2A |  @  064 40 |  V  086 56 |  l  108 6C |",
    "  nak 021 15 |  +  043 2B |  A  065 41 |  W  087 57 |  m  109 6D |",
};

std::string padded(std::string row) {
    row.resize(80, ' ');
    return row;
}

void wait_for_chart(Session& s) {
    ASSERT_TRUE(s.wait_until([&] {
        return s.text(24, 1, 23) == "  Hit space to continue" && s.cursor() == std::pair{24, 24};
    }));
}

TEST(Chart, FillsExactlyTwentyFourRowsWithTheHeaderInReverseVideo) {
    Session s = start_empty_editor();
    s.send("t");
    wait_for_chart(s);
    EXPECT_EQ(s.row_text(1), padded("  " + HEADER + "  "));
    for (int col = 1; col <= 79; ++col) {
        EXPECT_EQ(s.cell(1, col).reverse, col >= 3 && col <= 77) << "column " << col;
    }
    for (int row = 0; row < 22; ++row) EXPECT_EQ(s.row_text(row + 2), padded(TABLE[row]));
    EXPECT_EQ(s.row_text(24), padded("  Hit space to continue"));
}

TEST(Chart, OnlyTheSpaceBarEndsItAndTheEditorScreenComesBackAsItWas) {
    // Return, ESC and q, an arrow, F5, a sequence with a blank inside, Ctrl-C, Ctrl-L, Q
    // and NUL are read and ignored, each as one key.
    const std::vector<std::string> ignored = {
        "\r",   "\x1b", "q",    "\x1b[A", "\x1b[15~",          "\x1b[2 q",
        "\x03", "x",    "\x0c", "Q",      std::string(1, '\0')};
    struct Case {
        const char* what;
        std::string file;  // empty: no file loaded
        std::string key;
    };
    const Case cases[] = {{"no file", "", "t"}, {"second sector", std::string(600, 'z'), "T"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        Session s = c.file.empty() ? start_empty_editor() : start_editor(dir, c.file);
        if (!c.file.empty()) {
            s.send("\x1b[B");
            ASSERT_TRUE(wait_message(s, "Moving forward one block"));
        }
        std::vector<std::string> before;
        for (int row = 1; row <= 24; ++row) before.push_back(s.row_text(row));

        s.send(c.key);
        wait_for_chart(s);
        const std::size_t mark = s.transcript_size();
        for (const std::string& key : ignored) s.send(key);
        s.send(" ");
        ASSERT_TRUE(wait_message(s, "Waiting for command"));
        // Each ignored key writes only the normal-attributes sequence; the space then
        // clears the chart away.
        std::string normals;
        for (std::size_t i = 0; i <= ignored.size(); ++i) normals += "\x1b[0m";
        EXPECT_EQ(s.transcript().compare(mark, normals.size() + 7, normals + "\x1b[H\x1b[2J"), 0)
            << s.dump();
        for (int row = 1; row <= 24; ++row) {
            if (row == 19) continue;
            EXPECT_EQ(s.row_text(row), before[static_cast<std::size_t>(row - 1)]) << row;
        }
    }
}

}  // namespace
}  // namespace fenk_test
