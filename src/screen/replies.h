// The terminal's answers to the start-up queries, taken out of the input stream: the
// conformance-level report (DECRQSS) and the device attributes (DA1). They arrive on
// standard input like keys, may be split over several reads and may come after the user
// has typed; whatever is not exactly a reply passes through unchanged and in order.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace fenk::terminal {

// The longest reply held back while it is incomplete; a longer one is let through.
inline constexpr std::size_t REPLY_MAX = 128;
// The longest level report kept ("64;1" is four bytes), with room for its terminator.
inline constexpr std::size_t LEVEL_MAX = 16;

struct ReplyFilter {
    // True from the queries until the device attributes arrive; replies always come in
    // the order asked, so after those nothing more is outstanding and bytes pass as they are.
    bool outstanding = false;
    std::array<unsigned char, REPLY_MAX> held{};  // the start of what may be a reply
    std::size_t held_length = 0;                  // 0 <= held_length < REPLY_MAX
    // The level's parameters as reported ("64;1"), NUL-ended; empty while none came.
    std::array<char, LEVEL_MAX> level{};
};

// Passes `input` through the filter into `out`, in order and without the replies; bytes
// that may start a reply are held until the rest decides. Returns the number of bytes
// written, at most input.size() + REPLY_MAX, for which `out` must have room.
std::size_t filter_replies(ReplyFilter& filter, std::span<const unsigned char> input,
                           std::span<unsigned char> out);

// Lets out a lone ESC that the filter holds at the end of what was read (1 byte written
// to `out`; 0 when it holds anything else). A terminal writes each answer whole, so such
// an ESC is the ESC key; held, it would act only with the next key, and a terminal that
// never answers would keep ESC twice from leaving an edit mode.
std::size_t release_lone_escape(ReplyFilter& filter, std::span<unsigned char> out);

}  // namespace fenk::terminal
