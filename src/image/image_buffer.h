// The memory that holds a file's bytes: one anonymous mapping, zero-filled by the
// kernel, asked to use large pages so that filling a big image costs few page faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace fenk {

class ImageBuffer {
  public:
    ImageBuffer() = default;
    ImageBuffer(ImageBuffer&& other) noexcept;
    ImageBuffer& operator=(ImageBuffer&& other) noexcept;
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;
    ~ImageBuffer();

    // Allocates `size` zero bytes; false (and nothing changed) when the memory cannot
    // be had.
    bool allocate(std::int32_t size);
    std::span<std::uint8_t> bytes() { return {data_, size_}; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

  private:
    void release();

    std::uint8_t* data_ = nullptr;  // the mapping, or null when empty
    std::size_t size_ = 0;          // bytes in use
    std::size_t mapped_ = 0;        // bytes mapped (size_ rounded up)
};

}  // namespace fenk
