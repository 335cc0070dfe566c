// The editor state: one record for the whole run, created empty at start and kept
// until exit. Every command reads and writes the image and the position through it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/dirty_map.h"
#include "image/image_buffer.h"

namespace fenk {

inline constexpr std::int32_t SECTOR_BYTES = 240;
inline constexpr std::int32_t ROW_BYTES = 20;
inline constexpr std::int32_t SECTOR_ROWS = 12;
// The largest image: every cell of its last sector, up to last_sector * 240 + 239, still
// has a signed 32-bit offset (files of 2^31 - 128 bytes and more are refused).
inline constexpr std::int32_t MAX_IMAGE_SIZE = 2147483519;
inline constexpr std::size_t NAME_BYTES = 128;  // a name of up to 127 characters
inline constexpr std::size_t SEARCH_BUFFER_BYTES = 512;
inline constexpr std::int32_t MAX_SEARCH_LINE = 510;  // typed characters of a search line
inline constexpr std::int32_t MAX_HEX_DIGITS = 254;   // a hex pattern of up to 127 bytes

// The undo journal of the latest editing pass: the offset and old value of every byte
// overwritten, oldest first. Entries live in fixed-size chunks, five bytes an edit, so
// a long pass (a pasted megabyte) neither costs a heap node per edit nor copies itself
// as it grows.
inline constexpr std::size_t UNDO_CHUNK_ENTRIES = 65536;
struct UndoChunk {
    std::array<std::int32_t, UNDO_CHUNK_ENTRIES> offsets;
    std::array<std::uint8_t, UNDO_CHUNK_ENTRIES> old_bytes;
};
struct UndoJournal {
    std::size_t undo_newest = 0;                     // number of recorded edits; 0 = none;
                                                     // the next free entry is the open one
    std::vector<std::unique_ptr<UndoChunk>> chunks;  // hold undo_newest entries
    bool modified_before = false;  // file_modified when the pass began: earlier passes
                                   // left edits that no load or save has covered; also
                                   // set by a failed save, which may have left the file
                                   // holding part of the pass
};

// What a file looked like when the image was last read from it or written to it: while
// its status still matches, the file holds the image except where the dirty map says.
struct FileIdentity {
    bool known = false;  // false: no file is known to hold the image
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;              // image_size when known
    std::int64_t modified_seconds = 0;  // st_mtim
    std::int64_t modified_nanoseconds = 0;
    std::int64_t changed_seconds = 0;  // st_ctim
    std::int64_t changed_nanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

struct EditorState {
    ImageBuffer image;                          // the file's bytes; replaced whole by each load
    std::int32_t image_size = 0;                // bytes in the image, < 2^31
    std::int32_t last_sector = 0;               // image_size / SECTOR_BYTES
    std::int32_t current_sector = 0;            // 0 <= current_sector <= last_sector
    std::int32_t cursor_offset = 0;             // 0 <= cursor_offset - 240 * current_sector <= 239;
                                                // may reach past image_size, never written there
    bool file_loaded = false;                   // set by the first successful load, never cleared
    bool file_modified = false;                 // set by every accepted edit key; cleared by a
                                                // successful load or save and by an undo of
                                                // a pass that began with nothing unsaved
    std::array<char, NAME_BYTES> file_name{};   // last loaded or saved name, terminated
    std::array<char, NAME_BYTES> load_input{};  // the line typed after L, trimmed
    std::array<char, NAME_BYTES> save_input{};  // the line typed after S
    std::array<std::uint8_t, SEARCH_BUFFER_BYTES> search_buffer{};  // the current pattern
    UndoJournal undo_journal;
    DirtyMap dirty_map;          // regions changed since the image and file_name's file
                                 // last held the same bytes; sized for image_size
    FileIdentity file_identity;  // file_name's file as last read or written
};

extern EditorState editor;

}  // namespace fenk
