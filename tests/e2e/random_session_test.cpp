// Whole-program random sessions: a seeded generator drives the real editor on a
// pseudo-terminal through navigation (arrows in both forms, page keys, sequences that name
// nothing), G and J (decimal, hex, junk), both edit modes, undo, searches, the chart,
// repaints, loads (and their question) and saves, over images of edge sizes. A reference model
// predicts the message field and the status line after every command (and the counter and cursor
// after every key inside an edit mode), and at the end every file on disk byte for byte.
//
// FENK_RANDOM_SESSIONS sets the number of sessions (spread over the shards), FENK_RANDOM_SEED
// replays one seed alone. A failure names the seed and prints the keys sent so far.
#include <dirent.h>
#include <termios.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "editor_model.h"
#include "editor_session.h"

namespace fenk_test {
namespace {

using Arrow = EditorModel::Arrow;
using Mode = EditorModel::Mode;

constexpr int SHARDS = 4;
constexpr int DEFAULT_SESSIONS = 40;
constexpr std::int32_t IMAGE_SIZES[] = {0, 1, 19, 20, 239, 240, 241, 479, 480, 719, 1000, 2400};

std::string escaped(std::string_view bytes) {
    std::string out;
    for (char byte : bytes) {
        auto c = static_cast<unsigned char>(byte);
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

std::string trimmed(std::string text) { return text.substr(0, text.find_last_not_of(' ') + 1); }

// An arrow as terminals send it: ESC [ or, with the cursor keys in application mode, ESC O.
std::string arrow_keys(Arrow arrow, bool application) {
    std::string keys = application ? "\x1bO" : "\x1b[";
    switch (arrow) {
        case Arrow::up: return keys + "A";
        case Arrow::down: return keys + "B";
        case Arrow::right: return keys + "C";
        case Arrow::left: return keys + "D";
    }
    return "";
}

// The page keys and the forms of Home and End, with the arrow each acts as in the command
// loop.
const std::pair<const char*, Arrow> PAGE_KEYS[] = {
    {"\x1b[5~", Arrow::up},    {"\x1b[6~", Arrow::down}, {"\x1b[H", Arrow::left},
    {"\x1b[1~", Arrow::left},  {"\x1bOH", Arrow::left},  {"\x1b[F", Arrow::right},
    {"\x1b[4~", Arrow::right}, {"\x1bOF", Arrow::right},
};

// Complete sequences that name no key: function keys, modified arrows and page keys, keys
// with intermediate bytes, malformed ones (ended by the byte that breaks them).
const char* const OTHER_SEQUENCES[] = {
    "\x1b[15~",  "\x1b[24~",   "\x1bOP",    "\x1bOS",         "\x1b[1;5A", "\x1b[1;2D",
    "\x1b[5;5~", "\x1b[2~",    "\x1b[3~",   "\x1b[Z",         "\x1b[2 q",  "\x1b[?25h",
    "\x1bOx",    "\x1b[1\x01", "\x1b[\x7f", "\x1b[12;3 \x05",
};

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// One session: the generator, the real editor and the model, in step.
class RandomSession {
  public:
    explicit RandomSession(std::uint32_t seed) : seed_(seed), rng_(seed) {}

    // Runs the whole session; the result explains a failure with the seed and the key log.
    testing::AssertionResult run();
    std::size_t keys_sent() const { return keys_; }

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(int percent) { return pick(100) < percent; }

    void send(const std::string& what, const std::string& bytes) {
        log_ += "  " + what + ": \"" + escaped(bytes) + "\"\n";
        keys_ += bytes.size();
        session_->send(bytes);
    }
    testing::AssertionResult fail(testing::AssertionResult why) {
        return testing::AssertionFailure() << "random session, seed " << seed_ << " (replay with "
                                           << "FENK_RANDOM_SEED=" << seed_ << "), image of "
                                           << original_.size() << " bytes\nkeys sent:\n"
                                           << log_ << why.message();
    }

    bool status_matches() const {
        return trimmed(session_->text(16, 31, 22)) == model_->sector_counter() &&
               trimmed(session_->text(16, 53, 28)) == model_->offset_counter();
    }
    testing::AssertionResult expect_message(const std::string& message, bool after_prompt = false);
    testing::AssertionResult expect_edit_state(const std::string* message);
    testing::AssertionResult expect_prompt(const std::string& text, std::pair<int, int> cursor);

    std::string make_image(std::int32_t size);
    std::string search_line();
    std::string number_answer(std::int64_t low, std::int64_t high, std::optional<std::int64_t>& n,
                              bool& valid);
    std::string other_sequence() { return OTHER_SEQUENCES[pick(std::size(OTHER_SEQUENCES))]; }
    std::string declining_key();
    std::string disk_bytes(const std::string& name) const;

    testing::AssertionResult command();
    testing::AssertionResult edit_session();
    testing::AssertionResult number_command(bool sector);
    testing::AssertionResult search_command();
    testing::AssertionResult load_command();
    testing::AssertionResult sequence_command();
    testing::AssertionResult finish();
    testing::AssertionResult check_files(const std::string& emergency);

    std::uint32_t seed_;
    std::mt19937 rng_;
    std::string log_;
    std::size_t keys_ = 0;
    std::string original_;
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<EditorModel> model_;
};

testing::AssertionResult RandomSession::expect_message(const std::string& message,
                                                       bool after_prompt) {
    auto result = session_->wait_until([&] {
        return message_text(*session_) == message && session_->cursor() == std::pair{19, 14} &&
               status_matches();
    });
    if (!result) {
        return result << "\nexpected message \"" << message << "\", " << model_->sector_counter()
                      << ", " << model_->offset_counter();
    }
    if (!after_prompt) return result;
    // G and J show their answer before they return to key mode: a key typed in between would
    // be echoed. Wait for the mode switch itself.
    for (int i = 0; i < 2000; ++i) {
        if ((session_->child_termios().c_lflag & ICANON) == 0) return result;
        session_->pump(std::chrono::milliseconds(2));
    }
    return testing::AssertionFailure() << "still in line mode after the prompt\n"
                                       << session_->dump();
}

testing::AssertionResult RandomSession::expect_edit_state(const std::string* message) {
    auto result = session_->wait_until([&] {
        return (message == nullptr || message_text(*session_) == *message) &&
               session_->cursor() == model_->edit_cursor() && status_matches();
    });
    if (!result) {
        auto [row, col] = model_->edit_cursor();
        result << "\nexpected " << model_->sector_counter() << ", " << model_->offset_counter()
               << ", cursor at row " << row << " col " << col;
    }
    return result;
}

testing::AssertionResult RandomSession::expect_prompt(const std::string& text,
                                                      std::pair<int, int> cursor) {
    auto result = session_->wait_until(
        [&] { return message_text(*session_) == text && session_->cursor() == cursor; });
    if (!result) result << "\nexpected the prompt \"" << text << "\"";
    return result;
}

// Bytes from a small alphabet, so that searches find something, with some of every kind.
std::string RandomSession::make_image(std::int32_t size) {
    const std::string alphabet("ab-$\0\xff\n", 7);
    std::string bytes;
    for (std::int32_t i = 0; i < size; ++i) {
        bytes +=
            chance(70) ? alphabet[static_cast<std::size_t>(pick(7))] : static_cast<char>(pick(256));
    }
    return bytes;
}

std::string RandomSession::disk_bytes(const std::string& name) const {
    for (const auto& [saved, bytes] : model_->saved_files())
        if (saved == name) return bytes;
    return original_;  // only f.bin exists unless saved
}

std::string RandomSession::search_line() {
    const std::string& image = model_->image();
    const int kind = pick(10);
    if (kind < 4 && !image.empty()) {
        // A piece of the image: as text when it can be typed on a line, else in hex.
        std::size_t at = static_cast<std::size_t>(pick(static_cast<int>(image.size())));
        std::string piece = image.substr(at, static_cast<std::size_t>(1 + pick(4)));
        bool typable =
            std::all_of(piece.begin(), piece.end(), [](char c) { return c >= 32 && c < 127; });
        if (typable && chance(60)) return piece;
        std::string line = "$";
        for (char byte : piece) {
            auto c = static_cast<unsigned char>(byte);
            char hex[4];
            std::snprintf(hex, sizeof hex, chance(50) ? "%02x" : "%02X", c);
            line += hex;
        }
        return line;
    }
    if (kind < 6) {
        std::string line = "$";
        for (int i = pick(6); i >= 0; --i) line += "0123456789abcdefABCDEF"[pick(22)];
        return line;
    }
    if (kind == 6) return chance(50) ? "$4g" : "$41 42";
    if (kind == 7) return chance(50) ? "" : "$";
    std::string line;
    for (int i = pick(3); i >= 0; --i) line += "ab-$x"[pick(5)];
    return line;
}

// The typed answer to G or J; n gets the value the editor should see (nullopt: outside 32
// bits), valid is false for an answer that is no number at all. Decimal or hex ($ or 0x,
// either case), blanks around it now and then; or a number with junk after it.
std::string RandomSession::number_answer(std::int64_t low, std::int64_t high,
                                         std::optional<std::int64_t>& n, bool& valid) {
    valid = true;
    const int kind = pick(24);
    if (kind < 2) {
        valid = false;
        const char* junk[] = {"x1", "-", "0x", "$", "4,096", "5 ha", "12abc", "-$5", "0x1g", "1a"};
        return junk[pick(std::size(junk))];
    }
    if (kind == 2) {
        n = std::nullopt;
        const char* huge[] = {"99999999999", "-2147483649", "0x80000000", "$FFFFFFFFF"};
        return huge[pick(std::size(huge))];
    }
    n = std::uniform_int_distribution<std::int64_t>(low, high)(rng_);
    std::string text = std::to_string(*n);
    if (kind == 3 && *n >= 0) text = "+" + text;
    if (kind >= 4 && kind < 10 && *n >= 0) {
        char hex[24];
        std::snprintf(hex, sizeof hex, chance(50) ? "%llx" : "%llX",
                      static_cast<unsigned long long>(*n));
        text = (chance(50) ? "$" : chance(50) ? "0x" : "0X") + std::string(hex);
    }
    if (kind == 10) {
        valid = false;
        text += chance(50) ? " ha" : "xq";  // "xc" after a 0 would be hex
    }
    if (kind == 11) text = " \t" + text + "  ";
    return text;
}

// A key that declines a question: a letter other than y, Return, or a whole sequence.
std::string RandomSession::declining_key() {
    const int kind = pick(4);
    if (kind == 0) return chance(50) ? "n" : "Y";
    if (kind == 1) return arrow_keys(static_cast<Arrow>(pick(4)), chance(50));
    if (kind == 2) return PAGE_KEYS[pick(std::size(PAGE_KEYS))].first;
    return chance(30) ? "\r" : other_sequence();
}

testing::AssertionResult RandomSession::number_command(bool sector) {
    send(sector ? "G" : "J", sector ? (chance(50) ? "g" : "G") : (chance(50) ? "j" : "J"));
    if (auto r = expect_prompt(sector ? "Enter sector to goto:" : "Enter byte to jump to:",
                               {19, sector ? 36 : 37});
        !r)
        return r;
    std::optional<std::int64_t> n;
    bool valid = true;
    std::string answer = sector ? number_answer(-1, model_->last_sector() + 3, n, valid)
                                : number_answer(-2, model_->image_size() + 2, n, valid);
    send("answer", answer + "\r");
    if (!valid) return expect_message("Not a valid number", true);
    return expect_message(sector ? model_->goto_sector(n) : model_->jump_to_byte(n), true);
}

testing::AssertionResult RandomSession::search_command() {
    const int direction = chance(50) ? 1 : -1;
    send(direction > 0 ? ">" : "<", direction > 0 ? ">" : "<");
    if (auto r = expect_prompt("Enter string to locate ($num for hex):", {19, 53}); !r) return r;
    std::string line = search_line();
    send("pattern", line + "\r");
    return expect_message(model_->search(direction, line));
}

testing::AssertionResult RandomSession::edit_session() {
    const Mode mode = chance(50) ? Mode::hex : Mode::text;
    send("edit", mode == Mode::hex ? (chance(50) ? "H" : "h") : (chance(50) ? "A" : "a"));
    std::string message = model_->enter(mode);
    if (auto r = expect_edit_state(&message); !r) return r;
    for (int keys = 3 + pick(30); keys > 0; --keys) {
        const int kind = pick(20);
        const std::string* wait_for = nullptr;
        if (kind < 8) {
            // Up and down turn pages most often.
            const Arrow arrow = kind < 3   ? Arrow::down
                                : kind < 5 ? Arrow::up
                                : kind < 7 ? Arrow::right
                                           : Arrow::left;
            send("arrow", arrow_keys(arrow, chance(30)));
            model_->edit_arrow(arrow);
        } else if (kind == 8 && chance(30)) {
            send("repaint", "\x0c");
            wait_for = &message;
        } else {
            unsigned char key;
            if (mode == Mode::hex) {
                key = static_cast<unsigned char>(chance(90) ? "0123456789abcdefABCDEF"[pick(22)]
                                                            : "gz \t"[pick(4)]);
            } else if (chance(75)) {
                key = static_cast<unsigned char>(32 + pick(95));
            } else if (chance(70)) {
                key = static_cast<unsigned char>(pick(32));
                if (key == 12 || key == 27) key = 'q';
            } else {
                key = static_cast<unsigned char>(127 + pick(129));
            }
            send("key", std::string(1, static_cast<char>(key)));
            model_->edit_key(key);
        }
        if (auto r = expect_edit_state(wait_for); !r) return r;
    }
    // ESC ESC; or ESC and a key, which is swallowed; or any other whole sequence, which
    // swallows nothing: the key after it is a command again.
    const int way = pick(4);
    if (way < 2) {
        send("leave", chance(70) ? "\x1b\x1b" : "\x1bq");
        return expect_message("Returning to command mode");
    }
    send("leave", way == 2 ? PAGE_KEYS[pick(std::size(PAGE_KEYS))].first : other_sequence());
    if (auto r = expect_message("Returning to command mode"); !r) return r;
    send("ctrl-c", "\x03");
    return expect_message("Hit 'Q' to exit");
}

testing::AssertionResult RandomSession::command() {
    const int kind = pick(32);
    if (kind < 8) {
        const Arrow arrow = static_cast<Arrow>(kind % 4);
        send("arrow", arrow_keys(arrow, chance(30)));
        return expect_message(model_->arrow_command(arrow));
    }
    if (kind < 10) return number_command(true);
    if (kind < 12) return number_command(false);
    if (kind < 18) return edit_session();
    if (kind < 20) {
        send("undo", chance(50) ? "u" : "U");
        return expect_message(model_->undo());
    }
    if (kind < 23) return search_command();
    if (kind < 25) {
        send("continue", chance(50) ? "c" : "C");
        return expect_message(model_->continue_search());
    }
    if (kind == 25) {
        send("repaint", "\x0c");
        return expect_message("Waiting for command");
    }
    if (kind == 26) {
        send("chart", "t");
        if (auto r = session_->wait_for_row(24, "  Hit space to continue"); !r) return r;
        send("space", chance(50) ? " " : "x\r ");
        return expect_message("Waiting for command");
    }
    if (kind == 27) {
        send("save", "s");
        if (auto r = expect_prompt("Enter save-file, return for " + model_->file_name(), {17, 14});
            !r)
            return r;
        std::string name = chance(60) ? "" : (chance(50) ? "g.bin" : "f.bin");
        send("name", name + "\r");
        return expect_message(model_->save(name));
    }
    if (kind == 28) return load_command();
    if (kind == 29 && model_->modified()) {
        send("quit", "q");
        if (auto r = expect_prompt("File modified, Ok to exit?", {19, 41}); !r) return r;
        send("answer", declining_key());
        return expect_message("Returning to command mode");
    }
    if (kind == 30) {
        send("ctrl-c", "\x03");
        return expect_message("Hit 'Q' to exit");
    }
    if (kind == 31 && chance(50)) return sequence_command();
    const char* junk[] = {"x", "1", "\r", "\x1bP", "\x80", "\x1c"};
    send("no command", junk[pick(6)]);
    return expect_message("Not a valid command");
}

// A page key, which acts as its arrow, or a sequence that names no key, which is dropped
// whole: Ctrl-C after it shows that nothing of it was read as a command.
testing::AssertionResult RandomSession::sequence_command() {
    if (chance(50)) {
        const auto& [keys, arrow] = PAGE_KEYS[pick(std::size(PAGE_KEYS))];
        send("page key", keys);
        return expect_message(model_->arrow_command(arrow));
    }
    send("sequence", other_sequence() + "\x03");
    return expect_message("Hit 'Q' to exit");
}

// L: with unsaved edits first the question, which any key but y declines; then the name,
// blanks around it now and then.
testing::AssertionResult RandomSession::load_command() {
    std::string name = chance(50) || disk_bytes("g.bin") == original_ ? "f.bin" : "g.bin";
    bool g_exists = false;
    for (const auto& entry : model_->saved_files()) g_exists |= entry.first == "g.bin";
    if (!g_exists) name = "f.bin";
    send("load", "L");
    if (model_->modified()) {
        if (auto r = expect_prompt("File modified, Ok to load?", {19, 41}); !r) return r;
        if (chance(40)) {
            send("answer", declining_key());
            return expect_message("Returning to command mode");
        }
        send("answer", "y");
    }
    if (auto r = expect_prompt("Enter complete path to file", {17, 14}); !r) return r;
    send("path", (chance(30) ? "  " + name + " \t" : name) + "\r");
    return expect_message(model_->load(name, disk_bytes(name)));
}

testing::AssertionResult RandomSession::check_files(const std::string& emergency) {
    std::set<std::string> expected{"f.bin"};
    for (const auto& entry : model_->saved_files()) expected.insert(entry.first);
    if (!emergency.empty()) expected.insert(emergency);
    std::vector<std::string> present = files_in(dir_->path());
    if (std::set<std::string>(present.begin(), present.end()) != expected) {
        std::string list;
        for (const auto& name : present) list += " " + name;
        return testing::AssertionFailure() << "files in the directory:" << list;
    }
    for (const auto& name : expected) {
        std::string want = name == emergency ? model_->image() : disk_bytes(name);
        if (read_file(dir_->file(name)) != want) {
            return testing::AssertionFailure()
                   << name << " differs from the model: \"" << escaped(read_file(dir_->file(name)))
                   << "\" instead of \"" << escaped(want) << "\"";
        }
    }
    return testing::AssertionSuccess();
}

// Ends the session one of three ways: save and quit, quit and confirm, or hang up (an
// emergency copy of unsaved edits). Then checks every file byte for byte.
testing::AssertionResult RandomSession::finish() {
    const int way = pick(3);
    std::string emergency;
    if (way == 0) {
        send("save", "S");
        if (auto r = expect_prompt("Enter save-file, return for " + model_->file_name(), {17, 14});
            !r)
            return r;
        send("name", "\r");
        if (auto r = expect_message(model_->save("")); !r) return r;
        send("quit", "q");
    } else if (way == 1) {
        send("quit", "q");
        if (model_->modified()) {
            if (auto r = expect_prompt("File modified, Ok to exit?", {19, 41}); !r) return r;
            send("answer", "y");
        }
    } else {
        log_ += "  hang up\n";
        session_->hang_up();
        if (model_->modified()) emergency = model_->file_name() + ".save";
    }
    if (auto r = session_->wait_exit_status(0); !r) return r;
    return check_files(emergency);
}

testing::AssertionResult RandomSession::run() {
    const std::int32_t size = IMAGE_SIZES[seed_ % std::size(IMAGE_SIZES)];
    original_ = make_image(size);
    dir_ = std::make_unique<TempDir>();
    dir_->write_file("f.bin", original_);
    model_ = std::make_unique<EditorModel>("f.bin", original_);
    SessionOptions options;
    options.working_dir = dir_->path();
    session_ = std::make_unique<Session>(Session::fenk({"f.bin"}, options));
    if (auto r = expect_message("Image loaded, filesize= " + std::to_string(size) + " bytes"); !r)
        return fail(r);
    for (int commands = 8 + pick(20); commands > 0; --commands) {
        if (auto r = command(); !r) return fail(r);
    }
    if (auto r = finish(); !r) return fail(r);
    return testing::AssertionSuccess();
}

int env_number(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

class RandomSessions : public testing::TestWithParam<int> {};

TEST_P(RandomSessions, EditorAgreesWithTheModelAndLosesNoByte) {
    const int shard = GetParam();
    const int replay = env_number("FENK_RANDOM_SEED", -1);
    if (replay >= 0 && shard != 0) GTEST_SKIP() << "replaying one seed in shard 0";
    const int sessions = replay >= 0 ? 1 : env_number("FENK_RANDOM_SESSIONS", DEFAULT_SESSIONS);
    const int base = env_number("FENK_RANDOM_BASE", 1);
    std::size_t keys = 0;
    int run = 0;
    for (int i = shard; i < sessions; i += SHARDS) {
        auto seed = static_cast<std::uint32_t>(replay >= 0 ? replay : base + i);
        RandomSession session(seed);
        ASSERT_TRUE(session.run());
        keys += session.keys_sent();
        ++run;
    }
    std::printf("shard %d: %d sessions, %zu keys\n", shard, run, keys);
}

INSTANTIATE_TEST_SUITE_P(Shards, RandomSessions, testing::Range(0, SHARDS));

}  // namespace
}  // namespace fenk_test
