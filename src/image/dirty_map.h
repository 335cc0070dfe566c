// Which parts of the image edits have touched since the last load or successful save:
// one bit for each 4 KiB region, so that a save back to an unchanged file needs to
// write only those regions.
#pragma once

#include <cstdint>
#include <vector>

namespace fenk {

inline constexpr std::int32_t DIRTY_REGION_BYTES = 4096;

struct DirtyMap {
    std::vector<std::uint64_t> words;  // bit r of the map: region r (bytes from r * 4096)
                                       // may differ from the file on disk
    std::int32_t regions = 0;          // regions of the image, the last one maybe short
    std::int32_t dirty = 0;            // bits set, 0 <= dirty <= regions
    std::int32_t runs = 0;             // runs of adjacent set bits, 0 <= runs <= dirty
};

// A run of adjacent dirty regions, as bytes of the image: [first, end).
struct DirtyRun {
    std::int32_t first = 0;
    std::int32_t end = 0;
};

// Sizes the map for an image of `image_size` bytes, every region clean. Throws
// std::bad_alloc when the memory cannot be had, leaving the map as it was.
void reset_dirty_map(DirtyMap& map, std::int32_t image_size);
// Marks the region holding `offset` (inside the image) as dirty.
void mark_dirty(DirtyMap& map, std::int32_t offset);
// Every region clean again: the file now holds the image.
void clear_dirty_map(DirtyMap& map);
// The first run of dirty regions that starts at or after byte `from` (0, or the end of
// the previous run), its end cut to the image's `image_size`; false when there is none.
bool next_dirty_run(const DirtyMap& map, std::int32_t image_size, std::int32_t from, DirtyRun& run);
// True when one whole write of the image is expected to cost less than the positioned
// writes of its dirty runs: when the runs are many and scattered.
bool whole_write_is_cheaper(const DirtyMap& map);

}  // namespace fenk
