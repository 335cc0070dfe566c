// A deliberately plain model of the two edit modes, the sector keys of the command loop
// and U, for the property tests: the position is one offset (plus, in hex mode, which
// digit of the byte), the sector shown is always offset / 240, and the screen place is
// derived from both. Shared by the in-process and the end-to-end property tests.
#pragma once

#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace fenk_model {

struct EditModel {
    std::vector<std::uint8_t> image;
    std::int32_t offset = 0;
    std::int32_t sector = 0;
    bool low = false;  // hex mode: the cursor is on the byte's low digit
    bool modified = false;
    std::vector<std::pair<std::int32_t, std::uint8_t>> journal;  // (offset, old byte)

    explicit EditModel(std::vector<std::uint8_t> bytes) : image(std::move(bytes)) {}

    std::int32_t size() const { return static_cast<std::int32_t>(image.size()); }
    std::int32_t last_sector() const { return size() / 240; }
    void follow() { sector = offset / 240; }

    void enter() {
        journal.clear();
        low = false;
    }

    void up() {
        if (offset >= 20) offset -= 20;
        follow();
    }
    void down() {
        if (offset + 20 < size()) offset += 20;
        follow();
    }
    // The one refused move: off the last cell of a sector whose last byte ends the image.
    bool right_refused() const { return offset % 240 == 239 && offset + 1 == size(); }
    void right(bool hex) {
        if (offset >= size()) return;
        if (hex && !low) {
            low = true;
        } else if (!right_refused()) {
            ++offset;
            low = false;
        }
        follow();
    }
    void left(bool hex) {
        if (hex && low) {
            low = false;
        } else if (offset > 0) {
            --offset;
            low = hex;
        }
        follow();
    }

    void write(std::uint8_t value) {
        journal.emplace_back(offset, image[static_cast<std::size_t>(offset)]);
        image[static_cast<std::size_t>(offset)] = value;
    }
    void hex_digit(int value) {
        modified = true;
        if (offset >= size()) return;
        auto& byte = image[static_cast<std::size_t>(offset)];
        write(static_cast<std::uint8_t>(low ? (byte & 0xF0) | value : (byte & 0x0F) | value << 4));
        if (!low) {
            low = true;
            return;
        }
        ++offset;
        low = false;
        follow();
    }
    void character(std::uint8_t key) {
        modified = true;
        if (offset >= size()) return;
        write(key);
        ++offset;
        follow();
    }

    // The command loop's down and up arrows: one sector on, keeping the place in it.
    void next_sector() {
        if (sector >= last_sector()) return;
        offset += 240;
        ++sector;
    }
    void previous_sector() {
        if (sector <= 0) return;
        offset -= 240;
        --sector;
    }
    void jump(std::int32_t n) {
        offset = n;
        follow();
    }
    // U: true when it reverts ("Undo!"), false for "Nothing to undo".
    bool undo() {
        if (!modified || journal.empty()) return false;
        for (auto it = journal.rbegin(); it != journal.rend(); ++it) {
            image[static_cast<std::size_t>(it->first)] = it->second;
        }
        offset = journal.front().first;
        follow();
        modified = false;
        journal.clear();
        return true;
    }

    // Where the terminal cursor must stand: 1-based {row, column}.
    std::pair<int, int> screen_place(bool hex) const {
        std::int32_t within = offset - 240 * sector;
        int row = within / 20 + 3;
        int c = within % 20;
        if (!hex) return {row, 55 + c};
        return {row, 4 + 2 * c + c / 4 + (low ? 1 : 0)};
    }
};

// A key as a readable token for failure logs.
inline std::string describe_key(const std::string& key) {
    if (key == "\x1b[A") return "<up>";
    if (key == "\x1b[B") return "<down>";
    if (key == "\x1b[C") return "<right>";
    if (key == "\x1b[D") return "<left>";
    std::string text;
    for (char raw : key) {
        auto byte = static_cast<unsigned char>(raw);
        if (byte >= 32 && byte < 127) {
            text += static_cast<char>(byte);
        } else {
            text += "\\x";
            text += "0123456789abcdef"[byte >> 4];
            text += "0123456789abcdef"[byte & 15];
        }
    }
    return text;
}

inline const char* const ARROWS[] = {"\x1b[A", "\x1b[B", "\x1b[C", "\x1b[D"};
// The same arrows with the terminal's cursor keys in application mode.
inline const char* const APPLICATION_ARROWS[] = {"\x1bOA", "\x1bOB", "\x1bOC", "\x1bOD"};

// A random key for a mode: arrows, edit keys, keys the mode ignores, now and then Ctrl-L.
inline std::string random_key(std::mt19937& rng, bool hex) {
    int pick = std::uniform_int_distribution<int>(0, 99)(rng);
    if (pick < 45) {
        const auto& arrows = pick < 10 ? APPLICATION_ARROWS : ARROWS;
        return arrows[std::uniform_int_distribution<int>(0, 3)(rng)];
    }
    if (pick < 47) return "\x0c";  // Ctrl-L
    if (hex) {
        static const std::string digits = "0123456789abcdefABCDEF";
        static const std::string others =
            std::string("gGxZ \r\t\x7f\x80\xff\x03", 11) + std::string(1, '\0');
        const std::string& from = pick < 85 ? digits : others;
        return {from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)]};
    }
    int byte = pick < 90 ? std::uniform_int_distribution<int>(0, 127)(rng)
                         : std::uniform_int_distribution<int>(128, 255)(rng);
    if (byte == 12 || byte == 27) byte = 'x';
    return {static_cast<char>(byte)};
}

// The model's view of one key inside a mode.
inline void apply(EditModel& model, const std::string& key, bool hex) {
    auto is_arrow = [&](int i) { return key == ARROWS[i] || key == APPLICATION_ARROWS[i]; };
    if (is_arrow(0)) return model.up();
    if (is_arrow(1)) return model.down();
    if (is_arrow(2)) return model.right(hex);
    if (is_arrow(3)) return model.left(hex);
    auto byte = static_cast<std::uint8_t>(key[0]);
    if (hex && std::isxdigit(byte)) {
        model.hex_digit(byte <= '9' ? byte - '0' : (byte | 0x20) - 'a' + 10);
    } else if (!hex && byte < 128 && byte != 12) {
        model.character(byte);
    }
}

}  // namespace fenk_model
