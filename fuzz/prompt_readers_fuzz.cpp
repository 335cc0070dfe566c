// Fuzzes the prompt readers: the first byte picks word, number or line for each answer in
// turn; every answer must fit its buffer and consume what the reader promises.
#include <array>
#include <cstring>

#include "control/keys.h"
#include "fuzz_support.h"
#include "image/state.h"

namespace {

bool is_blank(int byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r';
}

void read_answers() {
    for (int n = 0;; ++n) {
        int which = fenk::terminal::next_byte() % 3;
        if (which == 0) {
            std::array<char, fenk::NAME_BYTES> word;
            word.fill('\x7f');
            if (fenk::read_word(word) != fenk::LineRead::too_long) {
                std::size_t length = strnlen(word.data(), word.size());
                fenk_fuzz::check(length < word.size(), "length < word.size()");
                for (std::size_t i = 0; i < length; ++i)
                    fenk_fuzz::check(!is_blank(word[i]), "!is_blank(word[i])");
            }
            // The byte that ended the word is left for the caller.
            fenk_fuzz::check(is_blank(fenk::terminal::next_byte()),
                             "is_blank(fenk::terminal::next_byte())");
        } else if (which == 1) {
            std::int32_t value = 0;
            fenk::read_number(value);
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
