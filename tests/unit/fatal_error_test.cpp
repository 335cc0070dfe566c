// The last resort for an exception that escapes to the top: the unsaved edits must still
// reach the emergency copy, and the one line on standard error must say where.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "control/startup.h"
#include "image_fixture.h"

namespace fenk {
namespace {

TEST(FatalError, WritesTheCopyReportsItAndExitsWithOne) {
    char dir[] = "/tmp/fenk-fatal-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string name = std::string(dir) + "/f.bin";
    const std::vector<std::uint8_t> image = counting_bytes(300);
    load_image(image);
    std::snprintf(editor.file_name.data(), editor.file_name.size(), "%s", name.c_str());
    editor.file_modified = true;
    EXPECT_EXIT(end_by_error("std::bad_alloc"), testing::ExitedWithCode(1),
                "^fenk: internal error \\(std::bad_alloc\\); unsaved edits written to " + name +
                    "\\.save\n$");
    std::ifstream copy(name + ".save", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(copy), {}};
    EXPECT_EQ(bytes, std::string(image.begin(), image.end()));
    ::unlink((name + ".save").c_str());
    ::rmdir(dir);
}

TEST(FatalError, WithNothingUnsavedSaysSo) {
    load_image(counting_bytes(3));
    EXPECT_EXIT(end_by_error("boom"), testing::ExitedWithCode(1),
                "^fenk: internal error \\(boom\\); nothing was unsaved\n$");
}

}  // namespace
}  // namespace fenk
