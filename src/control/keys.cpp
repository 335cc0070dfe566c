// Key decoding and the readers of the prompts. There is no time-out after ESC: a lone
// ESC is complete only with the key pressed after it.
#include "control/keys.h"

#include <limits>

#include "screen/primitives.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

// White space as the C library's classification has it in the default locale.
bool is_blank(int byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r';
}

bool is_digit(int byte) { return byte >= '0' && byte <= '9'; }

int skip_white_space() {
    int byte = terminal::next_byte();
    while (is_blank(byte)) byte = terminal::next_byte();
    return byte;
}

void discard_rest_of_line(int byte) {
    while (byte != '\n') byte = terminal::next_byte();
}

}  // namespace

void read_key(KeyRecord& key) {
    key = KeyRecord{};
    key.first = static_cast<std::uint8_t>(terminal::next_byte());
    if (key.first == KEY_ESC) {
        key.second = static_cast<std::uint8_t>(terminal::next_byte());
        if (key.second == '[') {
            key.final_byte = static_cast<std::uint8_t>(terminal::next_byte());
        } else {
            terminal::push_back(key.second);
        }
    }
    screen::set_normal();
}

int read_byte() {
    int byte = terminal::next_byte();
    screen::set_normal();
    return byte;
}

LineRead read_word(std::span<char> buffer) {
    int byte = skip_white_space();
    std::size_t length = 0;
    bool zero_byte = false;
    for (; !is_blank(byte); byte = terminal::next_byte()) {
        if (byte == 0) zero_byte = true;
        if (length + 1 < buffer.size()) buffer[length] = static_cast<char>(byte);
        ++length;
    }
    terminal::push_back(byte);
    if (length + 1 > buffer.size()) return LineRead::too_long;
    buffer[length] = '\0';
    return zero_byte ? LineRead::zero_byte : LineRead::ok;
}

NumberRead read_number(std::int32_t& value) {
    int byte = skip_white_space();
    bool negative = byte == '-';
    if (byte == '-' || byte == '+') byte = terminal::next_byte();
    if (!is_digit(byte)) {
        discard_rest_of_line(byte);
        return NumberRead::not_a_number;
    }
    // Accumulated as a negative number, whose range reaches one further.
    constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; is_digit(byte); byte = terminal::next_byte()) {
        if (magnitude <= LIMIT) magnitude = magnitude * 10 + (byte - '0');
    }
    terminal::push_back(byte);
    if (magnitude > LIMIT || (!negative && magnitude == LIMIT)) return NumberRead::out_of_range;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return NumberRead::ok;
}

LineRead read_line(std::span<std::uint8_t> buffer, std::int32_t& length) {
    std::size_t count = 0;
    for (int byte = terminal::next_byte(); byte != '\n'; byte = terminal::next_byte()) {
        if (count < buffer.size()) buffer[count] = static_cast<std::uint8_t>(byte);
        ++count;
    }
    if (count > buffer.size()) return LineRead::too_long;
    length = static_cast<std::int32_t>(count);
    return LineRead::ok;
}

}  // namespace fenk
