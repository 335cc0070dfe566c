// Start-up and the ways out: the command line, the terminal check, Q and its question.
#include <gtest/gtest.h>

#include "editor_session.h"

namespace fenk_test {
namespace {

TEST(StartUp, SecondArgumentGetsUsageOnStandardErrorAndTouchesNothing) {
    Session s = Session::fenk({"a", "b"});
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(s.transcript(), std::string("usage: ") + FENK_BINARY + " [filename]\r\n");
}

TEST(StartUp, WithoutAFileShowsTheFrameAndWaitsForCommand) {
    Session s = start_empty_editor();
    EXPECT_EQ(s.row_text(16), std::string(80, ' '));
    EXPECT_TRUE(s.transcript_contains("\x1b[61\"p"));
}

TEST(Quit, WithoutEditsEndsAtOnceAndRestoresTheTerminal) {
    Session s = start_empty_editor();
    s.send("q");
    ASSERT_TRUE(s.wait_exit_status(0));
    termios modes = s.child_termios();
    EXPECT_TRUE(modes.c_lflag & ECHO);
    EXPECT_TRUE(modes.c_lflag & ICANON);
    EXPECT_TRUE(modes.c_iflag & ICRNL);
}

}  // namespace
}  // namespace fenk_test
