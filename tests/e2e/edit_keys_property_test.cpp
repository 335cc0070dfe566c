// Random key sequences through both edit modes of the real binary, against the plain
// model: after every key the offset counter and the terminal cursor must show the
// model's offset and place, the sector counter its sector; between runs the sector keys,
// J and U move the position; at the end the saved file must hold the model's bytes.
// The in-process twin of this test runs far more keys; this one proves the real terminal.
#include <gtest/gtest.h>

#include "edit_driver.h"

namespace fenk_test {
namespace {

using fenk_model::EditModel;

std::string log_text(const std::vector<std::string>& log) {
    std::string text;
    for (const std::string& key : log) text += describe_key(key) + " ";
    return text;
}

// One command between two runs of a mode, with the model following it.
testing::AssertionResult navigate(Session& s, EditModel& model, std::mt19937& rng,
                                  std::vector<std::string>& log) {
    switch (std::uniform_int_distribution<int>(0, 4)(rng)) {
        case 0: {
            bool moves = model.sector < model.last_sector();
            model.next_sector();
            log.push_back("<sector down>");
            s.send(DOWN);
            return wait_message(s, moves ? "Moving forward one block" : "Already at end of data");
        }
        case 1: {
            bool moves = model.sector > 0;
            model.previous_sector();
            log.push_back("<sector up>");
            s.send(UP);
            return wait_message(
                s, moves ? "Moving backward one block" : "Already at begining of data");
        }
        case 2:
            log.push_back("U");
            s.send("u");
            return wait_message(s, model.undo() ? "Undo!" : "Nothing to undo");
        default: {
            int n = std::uniform_int_distribution<int>(0, model.size())(rng);
            model.jump(n);
            log.push_back("J" + std::to_string(n));
            return jump_to(s, n);
        }
    }
}

void run_size(int size, unsigned seed, int runs, int keys_per_run) {
    std::mt19937 rng(seed);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    for (int i = 0; i < size; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i * 7);
    TempDir dir;
    Session s = start_editor(dir, bytes);
    EditModel model({bytes.begin(), bytes.end()});
    std::vector<std::string> log;
    auto where = [&] {
        return "seed " + std::to_string(seed) + ", image of " + std::to_string(size) +
               " bytes, after the keys\n" + log_text(log);
    };
    for (int run = 0; run < runs; ++run) {
        ASSERT_TRUE(navigate(s, model, rng, log)) << where();
        bool hex = run % 2 == 0;
        const ModeKeys& mode = hex ? HEX_KEYS : ASC_KEYS;
        log.push_back(hex ? "H" : "A");
        model.enter();
        ModeDriver driver(s, size);
        ASSERT_TRUE(driver.enter(mode, model.screen_place(hex))) << where();
        for (int k = 0; k < keys_per_run; ++k) {
            std::string key = fenk_model::random_key(rng, hex);
            log.push_back(key);
            fenk_model::apply(model, key, hex);
            ASSERT_TRUE(driver.press(key, model.offset, model.screen_place(hex))) << where();
            ASSERT_EQ(sector_text(s), std::to_string(model.sector + 1) + "/" +
                                          std::to_string(model.last_sector() + 1))
                << where();
        }
        log.push_back("<esc><esc>");
        ASSERT_TRUE(driver.leave()) << where();
    }
    ASSERT_TRUE(save_in_place(s));
    std::string saved = read_file(dir.file("f.bin"));
    EXPECT_TRUE(saved == std::string(model.image.begin(), model.image.end())) << where();
}

TEST(EditModesProperty, TheRealTerminalFollowsTheModelThroughRandomKeys) {
    for (int size : {0, 1, 19, 20, 239, 240, 241, 480, 1000}) {
        run_size(size, 1000u + static_cast<unsigned>(size), 10, 60);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace fenk_test
