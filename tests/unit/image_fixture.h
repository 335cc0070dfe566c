// In-process set-up for tests of the commands: a fresh editor state holding given bytes
// as the loaded image, with the terminal layer reading keys from memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "image/state.h"
#include "screen/terminal.h"

namespace fenk {

// Replaces the editor state with a loaded image of `bytes`, sector 0, offset 0.
inline void load_image(const std::vector<std::uint8_t>& bytes) {
    editor = EditorState{};
    auto size = static_cast<std::int32_t>(bytes.size());
    if (!editor.image.allocate(size)) throw std::bad_alloc();
    std::copy(bytes.begin(), bytes.end(), editor.image.bytes().begin());
    editor.image_size = size;
    reset_dirty_map(editor.dirty_map, size);
    editor.last_sector = size / SECTOR_BYTES;
    editor.file_loaded = true;
    terminal::use_memory("");
}

inline std::vector<std::uint8_t> image_bytes() {
    auto bytes = editor.image.bytes();
    return {bytes.begin(), bytes.end()};
}

// `count` bytes 0, 1, 2, ... wrapping at 256: every offset's value differs from its
// neighbours'.
inline std::vector<std::uint8_t> counting_bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
}

// Runs one edit mode (hex_edit or ascii_edit) over `keys`; the keys must end the mode.
// Returns what it wrote to the terminal.
inline std::string run_keys(void (*mode)(), const std::string& keys) {
    terminal::use_memory(keys);
    mode();
    return terminal::take_output();
}

}  // namespace fenk
