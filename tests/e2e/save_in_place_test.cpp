// Saves back to the file the image came from: only the 4 KiB regions edits touched are
// written while that file is unchanged since the load or the last save, and the whole
// image otherwise. Every case checks the file byte for byte against the image; the bytes
// the editor wrote (its write count in /proc) show which of the two saves it made.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>

#include "editor_session.h"

namespace fenk_test {
namespace {

constexpr std::size_t IMAGE_BYTES = 1024 * 1024;  // 256 regions of 4 KiB
constexpr std::uint64_t REGION = 4096;
// Room for what the prompt and the message write to the terminal during a save.
constexpr std::uint64_t SCREEN_SLACK = 2048;

// Bytes that differ from region to region, so a region written to the wrong place shows.
std::string varied_bytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + i / REGION);
    return bytes;
}

Session start_on(const TempDir& dir, const std::string& bytes, SessionOptions options = {}) {
    dir.write_file("f.bin", bytes);
    options.working_dir = dir.path();
    Session s = Session::fenk({"f.bin"}, options);
    EXPECT_TRUE(
        wait_message(s, "Image loaded, filesize= " + std::to_string(bytes.size()) + " bytes"));
    return s;
}

// The bytes the editor has written so far, to files and to the terminal alike.
std::uint64_t bytes_written(const Session& s) {
    std::ifstream io("/proc/" + std::to_string(s.pid()) + "/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "wchar:") return value;
    }
    ADD_FAILURE() << "no wchar in /proc/" << s.pid() << "/io";
    return 0;
}

// J to `offset`, then one byte typed there in hex edit mode.
void edit_at(Session& s, std::size_t offset, std::string_view digits) {
    s.send("j");
    ASSERT_TRUE(s.wait_until([&] { return message_text(s) == "Enter byte to jump to:"; }));
    s.send(std::to_string(offset) + "\r");
    ASSERT_TRUE(wait_message(s, "At sector of requested byte"));
    ASSERT_TRUE(hex_edit_here(s, digits));
}

// S, then `name` and Return; waits for `message`. Returns the bytes the editor wrote from
// the Return on, or 0 when the prompt or the message did not come.
std::uint64_t save(Session& s, const std::string& name, const std::string& message = "File saved") {
    s.send("s");
    if (!s.wait_until([&] {
            return message_text(s).rfind("Enter save-file, return for ", 0) == 0 &&
                   s.cursor() == std::pair{17, 14};
        })) {
        ADD_FAILURE() << "no save prompt";
        return 0;
    }
    std::uint64_t before = bytes_written(s);
    s.send(name + "\r");
    if (!wait_message(s, message)) {
        ADD_FAILURE() << "no message: " << message;
        return 0;
    }
    return bytes_written(s) - before;
}

// Edits in several sectors and regions, the last one at the image's very end, and one pass
// undone: the save writes the touched regions alone and leaves the file equal to the image.
// An undo of everything since that save still leaves a save that syncs and says so.
TEST(SaveInPlace, WritesOnlyTheTouchedRegionsAndTheFileEqualsTheImage) {
    TempDir dir;
    std::string image = varied_bytes(IMAGE_BYTES);
    Session s = start_on(dir, image);
    edit_at(s, 5, "11");
    edit_at(s, 400000, "22");
    edit_at(s, IMAGE_BYTES - 1, "33");
    edit_at(s, 600000, "44");
    s.send("u");
    ASSERT_TRUE(wait_message(s, "Undo!"));
    image[5] = '\x11';
    image[400000] = '\x22';
    image[IMAGE_BYTES - 1] = '\x33';
    EXPECT_LT(save(s, ""), 4 * REGION + SCREEN_SLACK);
    EXPECT_EQ(read_file(dir.file("f.bin")), image);

    edit_at(s, 800000, "55");
    s.send("u");
    ASSERT_TRUE(wait_message(s, "Undo!"));
    EXPECT_LT(save(s, ""), REGION + SCREEN_SLACK);
    EXPECT_EQ(read_file(dir.file("f.bin")), image);
    s.send("q");
    EXPECT_TRUE(s.wait_exit_status(0));
}

// What another process does to the file between the load and the save.
struct OutsideChange {
    const char* name;
    std::function<void(const TempDir&)> apply;
};

// A file changed, grown, cut or replaced since the load holds other bytes than the image
// outside the edited region: the image wins, written whole.
TEST(SaveInPlace, FileChangedSinceTheLoadIsWrittenWhole) {
    const OutsideChange changes[] = {
        {"one byte rewritten, same size",
         [](const TempDir& dir) {
             int fd = ::open(dir.file("f.bin").c_str(), O_WRONLY);
             ASSERT_EQ(::pwrite(fd, "!", 1, 800000), 1);
             ::close(fd);
         }},
        {"grown",
         [](const TempDir& dir) {
             std::ofstream(dir.file("f.bin"), std::ios::app | std::ios::binary) << "more";
         }},
        {"cut short",
         [](const TempDir& dir) { ASSERT_EQ(::truncate(dir.file("f.bin").c_str(), 300000), 0); }},
        {"replaced by another file",
         [](const TempDir& dir) {
             dir.write_file("other", std::string(IMAGE_BYTES, 'o'));
             ASSERT_EQ(::rename(dir.file("other").c_str(), dir.file("f.bin").c_str()), 0);
         }},
    };
    for (const OutsideChange& change : changes) {
        SCOPED_TRACE(change.name);
        TempDir dir;
        std::string image = varied_bytes(IMAGE_BYTES);
        Session s = start_on(dir, image);
        edit_at(s, 5, "11");
        image[5] = '\x11';
        change.apply(dir);
        EXPECT_GE(save(s, ""), IMAGE_BYTES);
        EXPECT_EQ(read_file(dir.file("f.bin")), image);
    }
}

// Another name is written whole even when it names the same file (a second link); from then
// on the tracking belongs to that name.
TEST(SaveInPlace, AnotherNameIsWrittenWholeAndThenTrackedItself) {
    TempDir dir;
    std::string image = varied_bytes(IMAGE_BYTES);
    // Linked before the load: the link changes the file's status time.
    dir.write_file("f.bin", "");
    ASSERT_EQ(::link(dir.file("f.bin").c_str(), dir.file("g.bin").c_str()), 0);
    Session s = start_on(dir, image);
    edit_at(s, 5, "11");
    image[5] = '\x11';
    EXPECT_GE(save(s, "g.bin"), IMAGE_BYTES);
    EXPECT_EQ(read_file(dir.file("g.bin")), image);

    edit_at(s, 400000, "22");
    image[400000] = '\x22';
    EXPECT_LT(save(s, ""), REGION + SCREEN_SLACK);
    EXPECT_EQ(read_file(dir.file("g.bin")), image);
}

// The file-size limit fails the write of a region past it: reported like any failed save,
// the edits unsaved. With the limit raised, the next save writes everything: the regions
// of the failed attempt, whether it wrote some of them before failing or none.
TEST(SaveInPlace, FailedPositionedWriteIsReportedAndTheNextSaveWritesEverything) {
    struct Case {
        const char* name;
        std::size_t first_edit;  // below the limit: written before the failure
    };
    for (Case c : {Case{"one region written first", 5}, Case{"nothing written", 600000}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string image = varied_bytes(IMAGE_BYTES);
        SessionOptions options;
        options.file_size_limit = IMAGE_BYTES / 2;
        Session s = start_on(dir, image, options);
        edit_at(s, c.first_edit, "11");
        edit_at(s, 800000, "22");
        image[c.first_edit] = '\x11';
        image[800000] = '\x22';
        std::size_t mark = s.transcript_size();
        save(s, "", "Cannot save file f.bin: File too large");
        EXPECT_TRUE(s.transcript_contains("\a", mark));
        EXPECT_EQ(read_file(dir.file("f.bin")).size(), IMAGE_BYTES);
        ASSERT_TRUE(still_modified(s));

        rlimit limit{};
        ASSERT_EQ(::prlimit(s.pid(), RLIMIT_FSIZE, nullptr, &limit), 0);
        limit.rlim_cur = limit.rlim_max;  // the soft limit up to the hard one, left as it was
        ASSERT_EQ(::prlimit(s.pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
        EXPECT_GE(save(s, ""), IMAGE_BYTES);
        EXPECT_EQ(read_file(dir.file("f.bin")), image);
        s.send("q");
        EXPECT_TRUE(s.wait_exit_status(0));
    }
}

// A save that fails after writing part of a pass leaves the file holding neither what was
// loaded nor the image. An undo of that pass then leaves the image unsaved: Q asks, and
// the next save puts the file back to the image.
TEST(SaveInPlace, UndoAfterASaveThatFailedHalfWayLeavesTheImageUnsaved) {
    TempDir dir;
    const std::string image = varied_bytes(2 * REGION);
    SessionOptions options;
    options.file_size_limit = REGION;  // the first region is written, the second fails
    Session s = start_on(dir, image, options);
    edit_at(s, REGION - 1, "1122");  // one pass over both regions
    save(s, "", "Cannot save file f.bin: File too large");
    ASSERT_EQ(read_file(dir.file("f.bin"))[REGION - 1], '\x11');
    s.send("u");
    ASSERT_TRUE(wait_message(s, "Undo!"));
    ASSERT_TRUE(still_modified(s));

    rlimit limit{};
    ASSERT_EQ(::prlimit(s.pid(), RLIMIT_FSIZE, nullptr, &limit), 0);
    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(::prlimit(s.pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
    save(s, "");
    EXPECT_EQ(read_file(dir.file("f.bin")), image);
    s.send("q");
    EXPECT_TRUE(s.wait_exit_status(0));
}

}  // namespace
}  // namespace fenk_test
