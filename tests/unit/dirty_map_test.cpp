// The dirty-region map: which byte ranges a save back must write after a set of edits, and
// when the whole write is chosen instead.
#include "image/dirty_map.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "image/state.h"

namespace fenk {
namespace {

constexpr std::int32_t R = DIRTY_REGION_BYTES;

using Runs = std::vector<std::pair<std::int32_t, std::int32_t>>;

Runs runs_of(const DirtyMap& map, std::int32_t image_size) {
    Runs runs;
    DirtyRun run;
    for (std::int32_t from = 0; next_dirty_run(map, image_size, from, run); from = run.end) {
        runs.emplace_back(run.first, run.end);
    }
    return runs;
}

// One edit in every `step`-th region of an image of `regions` regions.
std::vector<std::int32_t> every(std::int32_t step, std::int32_t regions) {
    std::vector<std::int32_t> offsets;
    for (std::int32_t r = 0; r < regions; r += step) offsets.push_back(r * R + 7);
    return offsets;
}

TEST(DirtyMap, EditsBecomeRunsOfWholeRegionsCutAtTheImageEnd) {
    struct Case {
        const char* name;
        std::int32_t image_size;
        std::vector<std::int32_t> edits;
        Runs runs;
        std::int32_t dirty;
        bool whole_cheaper;
    };
    const Case cases[] = {
        {"empty image", 0, {}, {}, 0, false},
        {"no edit", 3 * R, {}, {}, 0, false},
        {"image of one short region", 2400, {0, 2399}, {{0, 2400}}, 1, false},
        {"short last region", R + 904, {R + 903}, {{R, R + 904}}, 1, false},
        {"two edits in one region", 3 * R, {R, 2 * R - 1}, {{R, 2 * R}}, 1, false},
        {"apart", 40 * R, {0, 2 * R + 5}, {{0, R}, {2 * R, 3 * R}}, 2, false},
        // Two runs cost more than one write of four regions.
        {"apart in a small image", 4 * R, {0, 2 * R + 5}, {{0, R}, {2 * R, 3 * R}}, 2, true},
        {"a gap filled joins two runs", 3 * R, {5, 2 * R + 5, R + 5}, {{0, 3 * R}}, 3, false},
        {"across a word of the map",
         130 * R,
         {63 * R, 64 * R, 127 * R + 1, 128 * R},
         {{63 * R, 65 * R}, {127 * R, 129 * R}},
         4,
         false},
        {"every region, one run", 40 * R + 1, every(1, 41), {{0, 40 * R + 1}}, 41, false},
        // The run ends less than a region before 2^31: the next search starts there.
        {"last region of the largest image",
         MAX_IMAGE_SIZE,
         {MAX_IMAGE_SIZE - 1},
         {{MAX_IMAGE_SIZE / R * R, MAX_IMAGE_SIZE}},
         1,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DirtyMap map;
        reset_dirty_map(map, c.image_size);
        for (std::int32_t offset : c.edits) mark_dirty(map, offset);
        EXPECT_EQ(runs_of(map, c.image_size), c.runs);
        EXPECT_EQ(map.dirty, c.dirty);
        EXPECT_EQ(map.runs, static_cast<std::int32_t>(c.runs.size()));
        EXPECT_EQ(whole_write_is_cheaper(map), c.whole_cheaper);
        clear_dirty_map(map);
        EXPECT_EQ(runs_of(map, c.image_size), Runs{});
        EXPECT_EQ(map.dirty, 0);
        EXPECT_EQ(map.runs, 0);
    }
}

// Scattered single regions tip the choice to the whole write once they are about one in
// seventeen: every 16th region does, every 20th does not.
TEST(DirtyMap, ManyScatteredRunsMakeTheWholeWriteCheaper) {
    const std::int32_t regions = 1700;
    struct Case {
        std::int32_t step;
        bool whole_cheaper;
    };
    for (Case c : {Case{16, true}, Case{20, false}, Case{1700, false}}) {
        SCOPED_TRACE(c.step);
        DirtyMap map;
        reset_dirty_map(map, regions * R);
        for (std::int32_t offset : every(c.step, regions)) mark_dirty(map, offset);
        EXPECT_EQ(whole_write_is_cheaper(map), c.whole_cheaper);
    }
}

}  // namespace
}  // namespace fenk
