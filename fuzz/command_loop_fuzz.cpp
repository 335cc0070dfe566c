// Fuzzes the whole command loop in-process: the first input byte picks one of the edge-size
// images, the rest are keys. Output goes to memory. Keys that would touch other files or
// end the process (L, S, Q) become an invalid key; everything runs in a private temporary
// directory. After every command the position invariants must hold, the image keeps its
// size, and no key but the edit modes and undo changes a byte.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "control/command_loop.h"
#include "fuzz_support.h"
#include "image/file_io.h"
#include "image/state.h"
#include "screen/frame.h"

namespace {

constexpr std::int32_t SIZES[] = {0, 1, 19, 20, 239, 240, 241, 479, 480, 719, 1000};
constexpr int IMAGES = sizeof SIZES / sizeof SIZES[0];

char private_dir[] = "/tmp/fenk-fuzz-XXXXXX";

void remove_files() {
    for (int i = 0; i < IMAGES; ++i) unlink(("f" + std::to_string(i)).c_str());
    rmdir(private_dir);
}

// Once per process: a private directory holding one file per image size, removed at exit.
void prepare_files() {
    static bool ready = false;
    if (ready) return;
    if (mkdtemp(private_dir) == nullptr || chdir(private_dir) != 0) std::abort();
    std::atexit(remove_files);
    for (int i = 0; i < IMAGES; ++i) {
        std::FILE* file = std::fopen(("f" + std::to_string(i)).c_str(), "wb");
        for (std::int32_t b = 0; b < SIZES[i]; ++b)
            std::fputc("ab-$\0\xff\n"[b % 7] ^ (b / 7), file);
        std::fclose(file);
    }
    ready = true;
}

std::uint8_t harmless(std::uint8_t key) {
    switch (key) {
        case 'L':
        case 'l':
        case 'S':
        case 's':
        case 'Q':
        case 'q': return 'X';
        default: return key;
    }
}

// The commands that may change the image: the two edit modes and undo. Every other key,
// a sequence or a prompt's whole answer line included, leaves every byte as it was.
bool changes_bytes(const fenk::KeyRecord& key) {
    if (key.name != fenk::Key::byte) return false;
    switch (key.first) {
        case 'H':
        case 'h':
        case 'A':
        case 'a':
        case 'U':
        case 'u': return true;
        default: return false;
    }
}

void check_invariants(std::int32_t size) {
    const fenk::EditorState& e = fenk::editor;
    fenk_fuzz::check(e.file_loaded, "e.file_loaded");
    fenk_fuzz::check(e.image_size == size, "e.image_size == size");
    fenk_fuzz::check(static_cast<std::int32_t>(e.image.bytes().size()) == size,
                     "static_cast<std::int32_t>(e.image.bytes().size()) == size");
    fenk_fuzz::check(e.last_sector == size / fenk::SECTOR_BYTES,
                     "e.last_sector == size / fenk::SECTOR_BYTES");
    fenk_fuzz::check(e.current_sector >= 0 && e.current_sector <= e.last_sector,
                     "e.current_sector >= 0 && e.current_sector <= e.last_sector");
    std::int32_t within = e.cursor_offset - e.current_sector * fenk::SECTOR_BYTES;
    fenk_fuzz::check(within >= 0 && within < fenk::SECTOR_BYTES,
                     "within >= 0 && within < fenk::SECTOR_BYTES");
    fenk_fuzz::check(fenk::terminal::in_line_mode() == false,
                     "fenk::terminal::in_line_mode() == false");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    prepare_files();
    const int image = data[0] % IMAGES;
    std::string keys(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (char& key : keys) key = static_cast<char>(harmless(static_cast<std::uint8_t>(key)));
    fenk::editor = fenk::EditorState();
    fenk::screen::after_repaint = nullptr;
    fenk_fuzz::feed(reinterpret_cast<const std::uint8_t*>(keys.data()), keys.size());
    fenk::load_file(("f" + std::to_string(image)).c_str());
    check_invariants(SIZES[image]);
    fenk::search::SearchVariables search;
    try {
        for (;;) {
            fenk::KeyRecord key;
            fenk::read_key(key);
            const auto bytes = fenk::editor.image.bytes();
            const std::vector<std::uint8_t> before(bytes.begin(), bytes.end());
            const bool modified = fenk::editor.file_modified;
            fenk::run_command(key, search);
            check_invariants(SIZES[image]);
            if (!changes_bytes(key)) {
                const auto after = fenk::editor.image.bytes();
                fenk_fuzz::check(
                    std::equal(after.begin(), after.end(), before.begin(), before.end()),
                    "only the edit modes and undo change bytes");
                fenk_fuzz::check(fenk::editor.file_modified == modified,
                                 "only the edit modes and undo change file_modified");
            }
            fenk::terminal::take_output();
        }
    } catch (const fenk_fuzz::InputEnded&) {
    }
    fenk::screen::after_repaint = nullptr;
    fenk::terminal::take_output();
    return 0;
}
