// Placeholder scan.
#include "search/scan.h"

#include <cstring>

namespace fenk::search {

std::int32_t scan_forward(std::span<const std::uint8_t> image, std::int32_t first,
                          std::span<const std::uint8_t> pattern) {
    auto size = static_cast<std::int64_t>(image.size());
    auto length = static_cast<std::int64_t>(pattern.size());
    for (std::int64_t p = first; p + length <= size; ++p) {
        if (length == 0 || std::memcmp(image.data() + p, pattern.data(), pattern.size()) == 0)
            return static_cast<std::int32_t>(p);
    }
    return -1;
}

std::int32_t scan_backward(std::span<const std::uint8_t> image, std::int32_t last,
                           std::span<const std::uint8_t> pattern) {
    auto size = static_cast<std::int64_t>(image.size());
    auto length = static_cast<std::int64_t>(pattern.size());
    for (std::int64_t p = std::min<std::int64_t>(last, size - length); p >= 0; --p) {
        if (length == 0 || std::memcmp(image.data() + p, pattern.data(), pattern.size()) == 0)
            return static_cast<std::int32_t>(p);
    }
    return -1;
}

}  // namespace fenk::search
