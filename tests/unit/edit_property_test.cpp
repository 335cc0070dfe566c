// Random key sequences through both edit modes, in-process, against a plain model: after
// every key the offset counter and the cursor that the mode wrote must be the model's,
// and after every run of a mode the image, the position and the modified flag must be.
// Between runs the sector keys, J and U move the position the way a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "../model/edit_model.h"
#include "edit/edit_modes.h"
#include "edit/journal.h"
#include "image/navigation.h"
#include "image_fixture.h"

namespace fenk {
namespace {

using fenk_model::ARROWS;
using fenk_model::EditModel;
using fenk_model::random_key;

// What the mode showed at the end of one pass of its key loop.
struct LoopEnd {
    int offset = -1;            // the offset counter's first number
    std::pair<int, int> place;  // where the cursor was put back
    int sector_shown = -1;      // 0-based, from the last status line painted
};

// Splits a mode's output at its loop ends: each writes the offset counter at (16, 61)
// and then moves the cursor back onto its cell.
std::vector<LoopEnd> loop_ends(const std::string& out, int sector_before) {
    const std::string counter = "\x1b[16;61H";
    const std::string sector_field = "\x1b[16;31HSector: ";
    std::vector<LoopEnd> ends;
    int shown = sector_before;
    std::size_t pos = 0;
    for (;;) {
        std::size_t at = out.find(counter, pos);
        std::size_t stop = at == std::string::npos ? out.size() : at;
        for (std::size_t s = out.find(sector_field, pos); s < stop;
             s = out.find(sector_field, s + 1)) {
            shown = std::atoi(out.c_str() + s + sector_field.size()) - 1;
        }
        if (at == std::string::npos) return ends;
        LoopEnd end;
        end.offset = std::atoi(out.c_str() + at + counter.size());
        std::size_t move = out.find("\x1b[", at + counter.size());
        if (move == std::string::npos || std::sscanf(out.c_str() + move, "\x1b[%d;%dH",
                                                     &end.place.first, &end.place.second) != 2) {
            return ends;
        }
        end.sector_shown = shown;
        ends.push_back(end);
        pos = move + 1;
    }
}

// Moves the position from the command loop, as a user would between two runs of a mode.
std::string navigate(EditModel& model, std::mt19937& rng) {
    switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
        case 0:
            next_sector();
            model.next_sector();
            return "<sector down>";
        case 1:
            previous_sector();
            model.previous_sector();
            return "<sector up>";
        case 2: {
            bool reverted = model.undo();
            terminal::use_memory("");
            undo_edits();
            std::string out = terminal::take_output();
            EXPECT_NE(out.find(reverted ? "Undo!" : "Nothing to undo"), std::string::npos);
            return "U";
        }
        default: {
            int n = std::uniform_int_distribution<int>(0, model.size())(rng);
            terminal::use_memory(std::to_string(n) + "\n");
            jump_to_byte();
            model.jump(n);
            return "J" + std::to_string(n);
        }
    }
}

// The last keys of the log, readable; the seed replays the whole run.
std::string log_text(const std::vector<std::string>& log) {
    constexpr std::size_t SHOWN = 120;
    std::string text = log.size() > SHOWN ? "... " : "";
    for (std::size_t i = log.size() > SHOWN ? log.size() - SHOWN : 0; i < log.size(); ++i) {
        text += fenk_model::describe_key(log[i]) + " ";
    }
    return text;
}

void run_seed(std::int32_t size, unsigned seed, int runs, int keys_per_run) {
    std::mt19937 rng(seed);
    auto bytes = counting_bytes(static_cast<std::size_t>(size));
    load_image(bytes);
    EditModel model(bytes);
    std::vector<std::string> log;
    for (int run = 0; run < runs; ++run) {
        log.push_back(navigate(model, rng));
        bool hex = run % 2 == 0;
        log.push_back(hex ? "H" : "A");
        model.enter();
        std::vector<std::string> keys;
        std::string input;
        for (int k = 0; k < keys_per_run; ++k) {
            keys.push_back(random_key(rng, hex));
            input += keys.back();
        }
        int sector_before = editor.current_sector;
        std::string out = run_keys(hex ? hex_edit : ascii_edit, input + "\x1b\x1b");
        std::vector<LoopEnd> ends = loop_ends(out, sector_before);
        ASSERT_EQ(ends.size(), keys.size()) << "seed " << seed << " size " << size;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            fenk_model::apply(model, keys[k], hex);
            log.push_back(keys[k]);
            const LoopEnd& end = ends[k];
            ASSERT_TRUE(end.offset == model.offset && end.place == model.screen_place(hex) &&
                        end.sector_shown == model.sector)
                << "seed " << seed << ", image of " << size << " bytes, after the keys\n"
                << log_text(log) << "\nshown: offset " << end.offset << ", cursor ("
                << end.place.first << "," << end.place.second << "), sector " << end.sector_shown
                << "\nmodel: offset " << model.offset << ", cursor ("
                << model.screen_place(hex).first << "," << model.screen_place(hex).second
                << "), sector " << model.sector;
        }
        log.push_back("<esc><esc>");
        ASSERT_TRUE(image_bytes() == model.image && editor.cursor_offset == model.offset &&
                    editor.current_sector == model.sector && editor.file_modified == model.modified)
            << "seed " << seed << ", image of " << size << " bytes, after the keys\n"
            << log_text(log);
    }
}

TEST(EditModesProperty, CursorAndImageFollowTheModelThroughRandomKeys) {
    for (std::int32_t size : {0, 1, 19, 20, 239, 240, 241, 480, 1000}) {
        for (unsigned seed = 1; seed <= 12; ++seed) {
            run_seed(size, seed * 7919u + static_cast<unsigned>(size), 16, 160);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
}  // namespace fenk
