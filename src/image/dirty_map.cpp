// The dirty-region map: a bitmap over the image, 64 regions to a word, and a count of the
// bits set so that the choice between a whole and a positioned save costs nothing.
#include "image/dirty_map.h"

#include <algorithm>
#include <bit>

namespace fenk {
namespace {

constexpr std::int32_t WORD_BITS = 64;

// The first region at or after `region` whose bit equals `set`; map.regions when none.
std::int32_t find_region(const DirtyMap& map, std::int32_t region, bool set) {
    while (region < map.regions) {
        std::uint64_t word = map.words[static_cast<std::size_t>(region / WORD_BITS)];
        if (!set) word = ~word;
        word >>= region % WORD_BITS;
        if (word != 0) return std::min(region + std::countr_zero(word), map.regions);
        region = (region / WORD_BITS + 1) * WORD_BITS;
    }
    return map.regions;
}

}  // namespace

void reset_dirty_map(DirtyMap& map, std::int32_t image_size) {
    std::int32_t regions = image_size / DIRTY_REGION_BYTES + (image_size % DIRTY_REGION_BYTES != 0);
    std::vector<std::uint64_t> words(
        static_cast<std::size_t>((regions + WORD_BITS - 1) / WORD_BITS));
    map.words.swap(words);
    map.regions = regions;
    map.dirty = 0;
}

void mark_dirty(DirtyMap& map, std::int32_t offset) {
    std::int32_t region = offset / DIRTY_REGION_BYTES;
    std::uint64_t& word = map.words[static_cast<std::size_t>(region / WORD_BITS)];
    std::uint64_t bit = std::uint64_t{1} << (region % WORD_BITS);
    if (word & bit) return;
    word |= bit;
    ++map.dirty;
}

void clear_dirty_map(DirtyMap& map) {
    std::fill(map.words.begin(), map.words.end(), 0);
    map.dirty = 0;
}

bool next_dirty_run(const DirtyMap& map, std::int32_t image_size, std::int32_t from,
                    DirtyRun& run) {
    // A run that ended with a short last region leaves `from` inside it: round up.
    std::int32_t first =
        find_region(map, (from + DIRTY_REGION_BYTES - 1) / DIRTY_REGION_BYTES, true);
    if (first == map.regions) return false;
    std::int32_t end = find_region(map, first, false);
    run.first = first * DIRTY_REGION_BYTES;
    // The last region may be short: the run ends with the image.
    run.end = end == map.regions ? image_size : end * DIRTY_REGION_BYTES;
    return true;
}

bool mostly_dirty(const DirtyMap& map) {
    return std::int64_t{map.dirty} * 4 > std::int64_t{map.regions} * 3;
}

}  // namespace fenk
