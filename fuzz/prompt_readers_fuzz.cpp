// Fuzzes the prompt readers: the first byte picks an answer (a name, a number of G or J)
// or a whole line for each answer in turn; every answer must fit its buffer, be trimmed,
// and a number must read as a plain reference reading of the same text says.
#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>

#include "control/keys.h"
#include "fuzz_support.h"
#include "image/navigation.h"
#include "image/state.h"

namespace {

bool is_blank(int byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r';
}

bool all_digits(std::string_view digits, int base) {
    for (char c : digits) {
        bool decimal = c >= '0' && c <= '9';
        bool hex = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!decimal && !(base == 16 && hex)) return false;
    }
    return !digits.empty();
}

// The answer's reading by another route: the form chosen by its first bytes, the digits
// checked, then the library's conversion. nullopt for no number; a value outside 32 bits
// stays as it is, for the caller to see it out of range.
std::optional<long long> reference_number(std::string_view answer, bool& too_large) {
    too_large = false;
    int base = 10;
    bool negative = false;
    if (answer.starts_with("$")) {
        base = 16;
        answer.remove_prefix(1);
    } else if (answer.starts_with("0x") || answer.starts_with("0X")) {
        base = 16;
        answer.remove_prefix(2);
    } else if (answer.starts_with("-") || answer.starts_with("+")) {
        negative = answer[0] == '-';
        answer.remove_prefix(1);
    }
    if (!all_digits(answer, base)) return std::nullopt;
    unsigned long long magnitude = 0;
    auto [end, error] =
        std::from_chars(answer.data(), answer.data() + answer.size(), magnitude, base);
    if (error == std::errc::result_out_of_range || magnitude > 2147483648ull ||
        (!negative && magnitude == 2147483648ull)) {
        too_large = true;
        return 0;
    }
    return negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
}

void check_trimmed(const std::uint8_t* answer, std::int32_t length, std::size_t capacity) {
    fenk_fuzz::check(length >= 1 && static_cast<std::size_t>(length) <= capacity,
                     "length >= 1 && length <= capacity");
    fenk_fuzz::check(!is_blank(answer[0]) && !is_blank(answer[length - 1]),
                     "!is_blank(answer[0]) && !is_blank(answer[length - 1])");
    fenk_fuzz::check(std::memchr(answer, '\n', static_cast<std::size_t>(length)) == nullptr,
                     "no newline in the answer");
}

void read_number_answer() {
    std::array<std::uint8_t, 128> line;
    std::int32_t length = -1;
    if (fenk::read_answer(line, length) != fenk::LineRead::ok) return;
    check_trimmed(line.data(), length, line.size());
    std::string_view text(reinterpret_cast<const char*>(line.data()),
                          static_cast<std::size_t>(length));
    std::int32_t value = 0;
    auto outcome = fenk::parse_number(std::span(line).first(text.size()), value);
    bool too_large = false;
    std::optional<long long> expected = reference_number(text, too_large);
    if (!expected) {
        fenk_fuzz::check(outcome == fenk::NumberAnswer::not_a_number, "not a number");
    } else if (too_large) {
        fenk_fuzz::check(outcome == fenk::NumberAnswer::out_of_range, "out of range");
    } else {
        fenk_fuzz::check(outcome == fenk::NumberAnswer::number && value == *expected,
                         "outcome == number && value == *expected");
    }
}

void read_answers() {
    for (;;) {
        int which = fenk::terminal::next_byte() % 3;
        if (which == 0) {
            std::array<std::uint8_t, fenk::NAME_BYTES - 1> name;
            std::int32_t length = -1;
            if (fenk::read_answer(name, length) == fenk::LineRead::ok) {
                check_trimmed(name.data(), length, name.size());
            }
        } else if (which == 1) {
            read_number_answer();
        } else {
            std::array<std::uint8_t, fenk::MAX_SEARCH_LINE> line;
            std::int32_t length = -1;
            if (fenk::read_line(line, length) == fenk::LineRead::ok) {
                fenk_fuzz::check(length >= 0 && length <= fenk::MAX_SEARCH_LINE,
                                 "length >= 0 && length <= fenk::MAX_SEARCH_LINE");
                fenk_fuzz::check(
                    std::memchr(line.data(), '\n', static_cast<std::size_t>(length)) == nullptr,
                    "std::memchr(line.data(), '\n', static_cast<std::size_t>(length)) == nullptr");
            }
        }
        fenk::terminal::take_output();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenk_fuzz::feed(data, size);
    try {
        read_answers();
    } catch (const fenk_fuzz::InputEnded&) {
    }
    return 0;
}
