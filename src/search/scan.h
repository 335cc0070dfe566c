// The scan of the image for a pattern.
#pragma once

#include <cstdint>
#include <span>

namespace fenk::search {

std::int32_t scan_forward(std::span<const std::uint8_t> image, std::int32_t first,
                          std::span<const std::uint8_t> pattern);
std::int32_t scan_backward(std::span<const std::uint8_t> image, std::int32_t last,
                           std::span<const std::uint8_t> pattern);

}  // namespace fenk::search
