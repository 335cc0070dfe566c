// Anonymous-mapping image memory. Mapping instead of operator new keeps a failed
// allocation an ordinary return value and lets the kernel back the image with 2 MiB
// pages: reading a large file then costs one fault per 2 MiB, not per 4 KiB.
#include "image/image_buffer.h"

#include <sys/mman.h>

#include <utility>

namespace fenk {
namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;
constexpr std::size_t PAGE = 4096;

}  // namespace

ImageBuffer::ImageBuffer(ImageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

ImageBuffer& ImageBuffer::operator=(ImageBuffer&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

ImageBuffer::~ImageBuffer() { release(); }

bool ImageBuffer::allocate(std::int32_t size) {
    if (size < 0) return false;
    ImageBuffer fresh;
    if (size > 0) {
        std::size_t length = static_cast<std::size_t>(size);
        // Small images stay on ordinary pages: a large page would cost 2 MiB for a few bytes.
        bool huge = length >= HUGE_PAGE;
        std::size_t unit = huge ? HUGE_PAGE : PAGE;
        std::size_t mapped = (length + unit - 1) / unit * unit;
        void* memory =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return false;
        if (huge) ::madvise(memory, mapped, MADV_HUGEPAGE);  // a hint: refusal changes nothing
        fresh.data_ = static_cast<std::uint8_t*>(memory);
        fresh.size_ = length;
        fresh.mapped_ = mapped;
    }
    *this = std::move(fresh);
    return true;
}

void ImageBuffer::release() {
    if (data_) ::munmap(data_, mapped_);
    data_ = nullptr;
    size_ = mapped_ = 0;
}

}  // namespace fenk
