// Load and save. A load is all or nothing: the new image is allocated and read in full
// before the old one is released. A save writes over the existing bytes and only then
// sets the file's length, so a failed save never leaves the file shorter than it was;
// "File saved" is shown only after every byte is synced to disk. A save back to the file
// the image was read from or last written to, while that file's status shows it unchanged,
// writes only the regions edits have touched.
#include "image/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>

#include "control/keys.h"
#include "image/state.h"
#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/sector_view.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

constexpr std::size_t IO_BLOCK = std::size_t{1} << 26;  // at most 64 MiB a call

// Owns a file descriptor; close() reports whether the close succeeded.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

// Reads exactly bytes.size() bytes; errno is 0 when the file ended early.
bool read_all(int fd, std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t want = std::min(IO_BLOCK, bytes.size() - done);
        ssize_t got = ::read(fd, bytes.data() + done, want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) {
            errno = 0;
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Writes `bytes` at byte `offset` of the file; a short write is not done.
bool write_all(int fd, std::span<const std::uint8_t> bytes, std::int32_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t want = std::min(IO_BLOCK, bytes.size() - done);
        ssize_t put = ::pwrite(fd, bytes.data() + done, want, offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Writes the whole image over the start of an open file, cuts the file to the image's
// length and syncs it. errno tells why on failure.
bool write_whole(int fd) {
    auto bytes = std::span<const std::uint8_t>(editor.image.bytes());
    return write_all(fd, bytes, 0) && ::ftruncate(fd, editor.image_size) == 0 && ::fsync(fd) == 0;
}

// Writes the dirty runs of the image at their places in a file that holds the rest of it
// already, then syncs it; with nothing dirty only the sync is left.
bool write_dirty_runs(int fd) {
    auto bytes = std::span<const std::uint8_t>(editor.image.bytes());
    DirtyRun run;
    for (std::int32_t from = 0; next_dirty_run(editor.dirty_map, editor.image_size, from, run);
         from = run.end) {
        auto first = static_cast<std::size_t>(run.first);
        auto part = bytes.subspan(first, static_cast<std::size_t>(run.end) - first);
        if (!write_all(fd, part, run.first)) return false;
    }
    return ::fsync(fd) == 0;
}

bool write_image(FileDescriptor& file) { return write_whole(file.get()) && file.close(); }

FileIdentity identity_of(const struct stat& status) {
    return {true,
            static_cast<std::uint64_t>(status.st_dev),
            static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec),
            static_cast<std::int64_t>(status.st_mtim.tv_nsec),
            static_cast<std::int64_t>(status.st_ctim.tv_sec),
            static_cast<std::int64_t>(status.st_ctim.tv_nsec)};
}

// Only the dirty regions need writing when the file is the one named by file_name, known
// to hold the rest of the image and unchanged since: same file, size and times. Anything
// else, or edits scattered so widely that one sweep is cheaper, is written whole.
bool may_write_dirty_runs(const char* path, const struct stat& status) {
    return editor.file_identity.known && std::strcmp(path, editor.file_name.data()) == 0 &&
           identity_of(status) == editor.file_identity && !whole_write_is_cheaper(editor.dirty_map);
}

// Writes the image to an open file (only its dirty runs when `in_place`) and syncs it, notes
// what the file looks like now in `identity`, and closes it. errno tells why on failure.
bool write_and_close(FileDescriptor& file, bool in_place, FileIdentity& identity) {
    if (!(in_place ? write_dirty_runs(file.get()) : write_whole(file.get()))) return false;
    struct stat status;
    identity = ::fstat(file.get(), &status) == 0 ? identity_of(status) : FileIdentity{};
    return file.close();
}

void copy_name(std::array<char, NAME_BYTES>& to, const char* name) {
    std::size_t length = std::min(std::strlen(name), NAME_BYTES - 1);
    std::memcpy(to.data(), name, length);
    to[length] = '\0';
}

// The bell and a reason formatted straight into the output buffer: nothing allocates.
[[gnu::format(printf, 1, 0)]] void show_refusal(const char* format, va_list args) {
    screen::clear_message();
    screen::ring_bell();
    terminal::out_vformat(format, args);
}

// A load that failed: bell, the reason, and the name of the image still loaded back in
// the filespec field over what was typed.
[[gnu::format(printf, 1, 2)]] void refuse_load(const char* format, ...) {
    va_list args;
    va_start(args, format);
    show_refusal(format, args);
    va_end(args);
    screen::show_file_name(editor.file_name.data());
}

[[gnu::format(printf, 1, 2)]] void refuse_save(const char* format, ...) {
    va_list args;
    va_start(args, format);
    show_refusal(format, args);
    va_end(args);
    screen::home_message();
}

constexpr char NAME_TOO_LONG[] = "File name too long (127 characters at most)";
constexpr char NAME_WITH_ZERO[] = "File name holds a zero byte";

// Gives the emergency copy the permission bits of the file it copies, so that it is
// never more widely readable than that file; it keeps its 0600 when the file is gone.
void give_permissions_of(int fd, const char* original) {
    struct stat status;
    if (::stat(original, &status) == 0 && S_ISREG(status.st_mode)) {
        ::fchmod(fd, status.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO));
    }
}

}  // namespace

void load_file(const char* path) {
    if (std::strlen(path) >= NAME_BYTES) return refuse_load(NAME_TOO_LONG);
    // Shown without its control bytes; the file itself is opened by its real name.
    const char* shown = screen::printable_name(path);
    // Non-blocking, so that opening a FIFO cannot hang the editor.
    FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) return refuse_load("Cannot open file %s", shown);
    struct stat status;
    if (::fstat(file.get(), &status) != 0) {
        return refuse_load("Cannot read file %s: %s", shown, std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return refuse_load("Cannot open file %s: not a regular file", shown);
    }
    if (status.st_size > MAX_IMAGE_SIZE) {
        return refuse_load("File %s is too large (%d bytes at most)", shown, MAX_IMAGE_SIZE);
    }
    screen::show_progress("LOADING");
    auto size = static_cast<std::int32_t>(status.st_size);
    ImageBuffer fresh;
    if (!fresh.allocate(size)) {
        return refuse_load("Not enough memory to load %s", shown);
    }
    if (!read_all(file.get(), fresh.bytes())) {
        const char* reason = errno ? std::strerror(errno) : "the file ended early";
        return refuse_load("Cannot read file %s: %s", shown, reason);
    }
    DirtyMap dirty;
    try {
        reset_dirty_map(dirty, size);
    } catch (const std::bad_alloc&) {
        return refuse_load("Not enough memory to load %s", shown);
    }
    // A file that changed while it was read may hold other bytes than the image.
    struct stat after;
    bool steady = ::fstat(file.get(), &after) == 0 && identity_of(after) == identity_of(status);
    editor.file_identity = steady ? identity_of(after) : FileIdentity{};
    editor.dirty_map = std::move(dirty);
    editor.image = std::move(fresh);
    editor.image_size = size;
    editor.last_sector = size / SECTOR_BYTES;
    editor.current_sector = 0;
    editor.cursor_offset = 0;
    screen::clear_message();
    screen::print("Image loaded, filesize= %d bytes           ", size);
    screen::show_file_name(path);
    copy_name(editor.file_name, path);
    editor.file_modified = false;
    editor.file_loaded = true;
    screen::draw_sector();
}

void save_file(const char* path) {
    if (std::strlen(path) >= NAME_BYTES) return refuse_save(NAME_TOO_LONG);
    // Shown without its control bytes; the file itself is opened by its real name.
    const char* shown = screen::printable_name(path);
    FileDescriptor file(::open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!file.valid()) return refuse_save("Cannot open file %s for writing", shown);
    struct stat status;
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return refuse_save("Cannot open file %s for writing: not a regular file", shown);
    }
    screen::show_progress("SAVING");
    FileIdentity written;
    if (!write_and_close(file, may_write_dirty_runs(path, status), written)) {
        // The file may hold part of the image now: the next save writes it whole, and an
        // undo of the latest pass cannot make the image equal to the file again.
        editor.file_identity = FileIdentity{};
        editor.undo_journal.modified_before = true;
        return refuse_save("Cannot save file %s: %s", shown, std::strerror(errno));
    }
    editor.file_identity = written;
    clear_dirty_map(editor.dirty_map);
    screen::show_message("File saved");
    if (path != editor.file_name.data()) copy_name(editor.file_name, path);
    editor.file_modified = false;
}

// The name is the whole answer line, blanks inside it included.
void load_prompt() {
    if (editor.file_modified && !ask_to_go_on("File modified, Ok to load?")) return;
    screen::begin_prompt("Enter complete path to file", 0);
    std::int32_t length = 0;
    auto buffer = std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(editor.load_input.data()),
                                          NAME_BYTES - 1);
    LineRead read = read_answer(buffer, length);
    screen::end_prompt();
    terminal::key_mode();
    if (read == LineRead::too_long) return refuse_load(NAME_TOO_LONG);
    editor.load_input[static_cast<std::size_t>(length)] = '\0';
    if (std::memchr(editor.load_input.data(), 0, static_cast<std::size_t>(length))) {
        return refuse_load(NAME_WITH_ZERO);
    }
    load_file(editor.load_input.data());
}

// Before any load there is no image to save: writing an empty one would cut the named
// file to nothing.
void save_prompt() {
    if (!editor.file_loaded) return screen::show_message("Must load a file first");
    static std::array<char, NAME_BYTES + 32> prompt;  // shown again after a repaint
    std::snprintf(prompt.data(), prompt.size(), "Enter save-file, return for %s",
                  screen::printable_name(editor.file_name.data()));
    screen::begin_prompt(prompt.data(), 0, false);
    std::int32_t length = 0;
    auto buffer = std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(editor.save_input.data()),
                                          NAME_BYTES - 1);
    LineRead read = read_line(buffer, length);
    screen::end_prompt();
    terminal::key_mode();
    if (read == LineRead::too_long) return refuse_save(NAME_TOO_LONG);
    if (length == 0) return save_file(editor.file_name.data());
    editor.save_input[static_cast<std::size_t>(length)] = '\0';
    if (std::memchr(editor.save_input.data(), 0, static_cast<std::size_t>(length))) {
        return refuse_save(NAME_WITH_ZERO);
    }
    save_file(editor.save_input.data());
}

const char* save_emergency_copy() {
    static std::array<char, NAME_BYTES + 16> name;
    const char* base = editor.file_name[0] ? editor.file_name.data() : "fenk";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (attempt == 0) {
            std::snprintf(name.data(), name.size(), "%s.save", base);
        } else {
            std::snprintf(name.data(), name.size(), "%s.save.%d", base, attempt);
        }
        // Private from the first byte: created 0600, widened at most to the file's own bits.
        FileDescriptor file(::open(name.data(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!file.valid() && errno == EEXIST) continue;
        if (!file.valid()) return nullptr;
        give_permissions_of(file.get(), base);
        if (write_image(file)) return name.data();
        ::unlink(name.data());
        return nullptr;
    }
    return nullptr;
}

}  // namespace fenk
