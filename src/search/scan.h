// The byte scan under every search: where a pattern next occurs in the image, forward or backward.
// Pure functions over spans; they know nothing of the editor state, the pattern syntax or the
// screen. Offsets and sizes are signed 32-bit; -1 means "no match". The image is smaller than 2^31
// bytes.
#pragma once

#include <cstdint>
#include <span>

namespace fenk::search {

// Smallest p with first <= p and p + pattern.size() <= image.size() where image[p..] starts with
// pattern; -1 if none. Precondition: first >= 0. An empty pattern matches at first when
// first <= image.size().
std::int32_t scan_forward(std::span<const std::uint8_t> image, std::int32_t first,
                          std::span<const std::uint8_t> pattern);

// Largest p with 0 <= p <= last and p + pattern.size() <= image.size() and a match; -1 if none.
// Precondition: 0 <= last <= image.size(); the empty pattern matches at last, even at the end.
std::int32_t scan_backward(std::span<const std::uint8_t> image, std::int32_t last,
                           std::span<const std::uint8_t> pattern);

}  // namespace fenk::search
