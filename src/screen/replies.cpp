// Recognises exactly two shapes, and nothing looser, so that keys typed by the user are
// never eaten: ESC P 0|1 $ r <printable> ESC \ (the level report) and ESC [ ? <digits
// and semicolons> c (the device attributes). The level is kept only when the report
// has the form of the level control itself, 6n followed by optional ;n, then " p.
#include "screen/replies.h"

#include <string_view>

namespace fenk::terminal {
namespace {

constexpr unsigned char ESC = 27;

enum class Match { partial, level_report, attributes, none };

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// ESC [ ? [0-9;]* c
Match match_attributes(std::span<const unsigned char> s) {
    if (s.size() > 2 && s[2] != '?') return Match::none;
    for (std::size_t i = 3; i < s.size(); ++i) {
        if (s[i] == 'c') return Match::attributes;  // the last byte: checked on every append
        if (!is_digit(s[i]) && s[i] != ';') return Match::none;
    }
    return Match::partial;
}

// ESC P [01] $ r [printable]* ESC backslash
Match match_level_report(std::span<const unsigned char> s) {
    if (s.size() > 2 && s[2] != '0' && s[2] != '1') return Match::none;
    if (s.size() > 3 && s[3] != '$') return Match::none;
    if (s.size() > 4 && s[4] != 'r') return Match::none;
    for (std::size_t i = 5; i < s.size(); ++i) {
        if (s[i] == ESC) {
            if (i + 1 == s.size()) return Match::partial;
            return s[i + 1] == '\\' ? Match::level_report : Match::none;
        }
        if (s[i] < 0x20 || s[i] > 0x7E) return Match::none;
    }
    return Match::partial;
}

// What the held bytes, which start with ESC, are so far.
Match match(std::span<const unsigned char> s) {
    if (s.size() < 2) return Match::partial;
    if (s[1] == '[') return match_attributes(s);
    if (s[1] == 'P') return match_level_report(s);
    return Match::none;
}

// Keeps the parameters of a report such as ESC P 1 $ r 6 4 ; 1 " p ESC backslash.
void keep_level(ReplyFilter& filter, std::span<const unsigned char> report) {
    std::string_view text(reinterpret_cast<const char*>(report.data()) + 5, report.size() - 7);
    if (!text.ends_with("\"p")) return;
    text.remove_suffix(2);
    if (text.size() < 2 || text.size() >= LEVEL_MAX || !text.starts_with('6')) return;
    if (text.find_first_not_of("0123456789;") != std::string_view::npos || text[1] == ';') return;
    text.copy(filter.level.data(), text.size());
    filter.level[text.size()] = '\0';
}

struct Output {
    std::span<unsigned char> bytes;
    std::size_t length = 0;
};

void feed(ReplyFilter& filter, unsigned char byte, Output& out);

// The held bytes are not a reply: the first goes out, and the others are looked at
// again, since a reply may begin among them (a lone ESC typed just before one).
void release(ReplyFilter& filter, Output& out) {
    std::array<unsigned char, REPLY_MAX> bytes = filter.held;
    std::size_t length = filter.held_length;
    filter.held_length = 0;
    out.bytes[out.length++] = bytes[0];
    for (std::size_t i = 1; i < length; ++i) feed(filter, bytes[i], out);
}

void feed(ReplyFilter& filter, unsigned char byte, Output& out) {
    if (filter.held_length == 0 && (byte != ESC || !filter.outstanding)) {
        out.bytes[out.length++] = byte;
        return;
    }
    filter.held[filter.held_length++] = byte;
    std::span<const unsigned char> held(filter.held.data(), filter.held_length);
    switch (match(held)) {
        case Match::partial:
            if (filter.held_length == REPLY_MAX) release(filter, out);
            return;
        case Match::level_report:
            keep_level(filter, held);
            filter.held_length = 0;
            return;
        case Match::attributes:
            filter.outstanding = false;
            filter.held_length = 0;
            return;
        case Match::none: release(filter, out); return;
    }
}

}  // namespace

std::size_t filter_replies(ReplyFilter& filter, std::span<const unsigned char> input,
                           std::span<unsigned char> out) {
    Output output{out};
    for (unsigned char byte : input) feed(filter, byte, output);
    return output.length;
}

std::size_t release_lone_escape(ReplyFilter& filter, std::span<unsigned char> out) {
    if (filter.held_length != 1) return 0;
    filter.held_length = 0;
    out[0] = ESC;
    return 1;
}

}  // namespace fenk::terminal
