// Driving the edit modes end to end: enter a mode, then press keys one at a time and wait
// until the mode has finished each, which shows as one more write of the offset counter
// at (16, 61) followed by the cursor put back on its cell.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "../model/edit_model.h"
#include "editor_session.h"

namespace fenk_test {

using fenk_model::describe_key;

inline const std::string HEX_MESSAGE = "HEX editing mode.  ESC twice returns to command mode";
inline const std::string ASC_MESSAGE = "ASC editing mode.  ESC twice returns to command mode";
inline const std::string UP = "\x1b[A", DOWN = "\x1b[B", RIGHT = "\x1b[C", LEFT = "\x1b[D";

// The two modes, for tests that hold for both.
struct ModeKeys {
    const char* name;
    char command;  // H or A
    const std::string* message;
    int label_col;  // "HEX" or "ASC" on row 15
    bool hex;
    // Screen column of the cursor on byte column c (hex: its high digit).
    int column(int c) const { return hex ? 4 + 2 * c + c / 4 : 55 + c; }
};
inline const ModeKeys HEX_KEYS{"Hex", 'H', &HEX_MESSAGE, 24, true};
inline const ModeKeys ASC_KEYS{"Text", 'A', &ASC_MESSAGE, 63, false};

// The offset counter as shown: "offset/size" (the numbers at row 16, column 61).
inline std::string counter_text(const Session& s) {
    std::string text = s.text(16, 61, 20);
    return text.substr(0, text.find(' '));
}

// The sector counter as shown, "n/m".
inline std::string sector_text(const Session& s) {
    std::string text = s.text(16, 39, 20);
    return text.substr(0, text.find(' '));
}

// Answers J with `n` from the command loop and waits for the repainted sector.
inline testing::AssertionResult jump_to(Session& s, long n) {
    s.send("j");
    auto prompt = s.wait_for_text(19, 14, "Enter byte to jump to:");
    if (!prompt) return prompt;
    s.send(std::to_string(n) + "\r");
    return wait_message(s, "At sector of requested byte");
}

// Saves the image under its own name from the command loop.
inline testing::AssertionResult save_in_place(Session& s) {
    s.send("s");
    auto prompt = s.wait_for_text(19, 14, "Enter save-file, return for ");
    if (!prompt) return prompt;
    s.send("\r");
    return wait_message(s, "File saved");
}

// Counts the key-loop ends of a running mode as they show in the transcript.
class ModeDriver {
  public:
    ModeDriver(Session& s, int size) : s_(s), size_(size) {}

    // Sends the mode's command key and waits for its message and the cursor at `place`.
    testing::AssertionResult enter(const ModeKeys& mode, std::pair<int, int> place) {
        s_.send(std::string(1, mode.command));
        return settle(mode.command == 'H' ? HEX_MESSAGE : ASC_MESSAGE, place);
    }

    // Sends one key and waits until the mode has ended one more pass of its loop with the
    // counter at `offset` and the cursor at `place`.
    testing::AssertionResult press(const std::string& key, int offset, std::pair<int, int> place) {
        ++expected_ends_;
        s_.send(key);
        std::string counter = std::to_string(offset) + "/" + std::to_string(size_);
        auto result = s_.wait_until([&] {
            return count_ends() >= expected_ends_ && counter_text(s_) == counter &&
                   s_.cursor() == place;
        });
        if (!result) {
            result << "\nafter key \"" << key << "\": expected counter " << counter
                   << " and cursor (" << place.first << "," << place.second << ") at loop end "
                   << expected_ends_ << ", seen " << ends_;
        }
        return result;
    }

    // Sends one key and waits until the mode has ended one more pass of its loop.
    testing::AssertionResult press_any(const std::string& key) {
        ++expected_ends_;
        s_.send(key);
        return s_.wait_until([&] { return count_ends() >= expected_ends_; });
    }

    // Leaves the mode with ESC ESC.
    testing::AssertionResult leave() {
        s_.send("\x1b\x1b");
        return wait_message(s_, "Returning to command mode");
    }

  private:
    testing::AssertionResult settle(const std::string& message, std::pair<int, int> place) {
        auto result =
            s_.wait_until([&] { return message_text(s_) == message && s_.cursor() == place; });
        count_ends();
        expected_ends_ = ends_;
        return result;
    }

    int count_ends() {
        static const std::string mark = "\x1b[16;61H";
        const std::string& t = s_.transcript();
        for (std::size_t at = t.find(mark, scanned_); at != std::string::npos;
             at = t.find(mark, scanned_)) {
            ++ends_;
            scanned_ = at + mark.size();
        }
        if (t.size() >= mark.size()) scanned_ = std::max(scanned_, t.size() - mark.size() + 1);
        return ends_;
    }

    Session& s_;
    int size_;
    std::size_t scanned_ = 0;
    int ends_ = 0;
    int expected_ends_ = 0;
};

// One run of a mode from a given offset: the keys, and where the last leaves the cursor.
struct MoveCase {
    int start;                      // J goes here before the mode is entered
    std::vector<std::string> keys;  // pressed in the mode
    int offset;                     // the counter after the last key
    std::pair<int, int> place;      // the cursor after the last key
    std::string sector;             // the sector counter after the last key
};

// Runs each case on the session's image (of `size` bytes): J, the mode, the keys, ESC ESC.
inline void run_moves(Session& s, int size, const ModeKeys& mode,
                      const std::vector<MoveCase>& cases) {
    for (const MoveCase& c : cases) {
        std::string keys;
        for (const std::string& key : c.keys) keys += describe_key(key) + " ";
        SCOPED_TRACE("from " + std::to_string(c.start) + ": " + keys);
        ASSERT_TRUE(jump_to(s, c.start));
        int within = c.start % 240;
        ModeDriver driver(s, size);
        ASSERT_TRUE(driver.enter(mode, {3 + within / 20, mode.column(within % 20)}));
        for (std::size_t k = 0; k + 1 < c.keys.size(); ++k)
            ASSERT_TRUE(driver.press_any(c.keys[k]));
        ASSERT_TRUE(driver.press(c.keys.back(), c.offset, c.place));
        EXPECT_EQ(sector_text(s), c.sector);
        ASSERT_TRUE(driver.leave());
    }
}

}  // namespace fenk_test
