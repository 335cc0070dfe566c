// Load and save. A load is all or nothing: the new image is allocated and read in full
// before the old one is released. A save writes over the existing bytes and only then
// sets the file's length, so a failed save never leaves the file shorter than it was;
// "File saved" is shown only after every byte is synced to disk.
#include "image/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t want = std::min(IO_BLOCK, bytes.size() - done);
        ssize_t put = ::write(fd, bytes.data() + done, want);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Writes the whole image over the start of an open file, cuts the file to the image's
// length, syncs and closes it. errno tells why on failure.
bool write_image(FileDescriptor& file) {
    auto bytes = std::span<const std::uint8_t>(editor.image.bytes());
    return write_all(file.get(), bytes) && ::ftruncate(file.get(), editor.image_size) == 0 &&
           ::fsync(file.get()) == 0 && file.close();
}

void copy_name(std::array<char, NAME_BYTES>& to, const char* name) {
    std::size_t length = std::min(std::strlen(name), NAME_BYTES - 1);
    std::memcpy(to.data(), name, length);
    to[length] = '\0';
}

// A load that failed: bell, the reason, and the name of the image still loaded back in
// the filespec field over what was typed.
void refuse_load(const std::string& message) {
    screen::clear_message();
    screen::ring_bell();
    terminal::out(message);
    screen::show_file_name(editor.file_name.data());
}

void refuse_save(const std::string& message) {
    screen::clear_message();
    screen::ring_bell();
    terminal::out(message);
    screen::home_message();
}

constexpr const char* NAME_TOO_LONG = "File name too long (127 characters at most)";
constexpr const char* NAME_WITH_ZERO = "File name holds a zero byte";

}  // namespace

void load_file(const char* path) {
    if (std::strlen(path) >= NAME_BYTES) return refuse_load(NAME_TOO_LONG);
    // Non-blocking, so that opening a FIFO cannot hang the editor.
    FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) return refuse_load(std::string("Cannot open file ") + path);
    struct stat status;
    if (::fstat(file.get(), &status) != 0) {
        return refuse_load(std::string("Cannot read file ") + path + ": " + std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return refuse_load(std::string("Cannot open file ") + path + ": not a regular file");
    }
    if (status.st_size > MAX_IMAGE_SIZE) {
        return refuse_load(std::string("File ") + path + " is too large (" +
                           std::to_string(MAX_IMAGE_SIZE) + " bytes at most)");
    }
    screen::show_progress("LOADING");
    auto size = static_cast<std::int32_t>(status.st_size);
    ImageBuffer fresh;
    if (!fresh.allocate(size)) {
        return refuse_load(std::string("Not enough memory to load ") + path);
    }
    if (!read_all(file.get(), fresh.bytes())) {
        const char* reason = errno ? std::strerror(errno) : "the file ended early";
        return refuse_load(std::string("Cannot read file ") + path + ": " + reason);
    }
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
    FileDescriptor file(::open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!file.valid()) return refuse_save(std::string("Cannot open file ") + path + " for writing");
    struct stat status;
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return refuse_save(std::string("Cannot open file ") + path +
                           " for writing: not a regular file");
    }
    screen::show_progress("SAVING");
    if (!write_image(file)) {
        return refuse_save(std::string("Cannot save file ") + path + ": " + std::strerror(errno));
    }
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
    std::string prompt = std::string("Enter save-file, return for ") + editor.file_name.data();
    screen::begin_prompt(prompt.c_str(), 0, false);
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

std::string save_emergency_copy() {
    std::string base = editor.file_name[0] ? editor.file_name.data() : "fenk";
    base += ".save";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = attempt == 0 ? base : base + "." + std::to_string(attempt);
        FileDescriptor file(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!file.valid() && errno == EEXIST) continue;
        if (!file.valid()) return {};
        if (write_image(file)) return name;
        ::unlink(name.c_str());
        return {};
    }
    return {};
}

}  // namespace fenk
