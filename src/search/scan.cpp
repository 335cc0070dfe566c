// The byte scan: the hottest loop of the editor, run over the whole image on every search.
// A filter finds the candidate offsets where two anchor bytes of the pattern both sit, 64 offsets
// per step with SSE2; memcmp confirms each candidate. Single bytes and the few offsets left at the
// ends go through memchr / memrchr. No load ever reaches outside the image.
#include "search/scan.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fenk::search {
namespace {

// The candidate offsets of one call run over [from, to); each helper answers -1 when none matches.

bool matches_at(const std::uint8_t* image, std::int32_t p, std::span<const std::uint8_t> pattern) {
    return std::memcmp(image + p, pattern.data(), pattern.size()) == 0;
}

std::int32_t first_by_memchr(const std::uint8_t* image, std::int32_t from, std::int32_t to,
                             std::span<const std::uint8_t> pattern) {
    while (from < to) {
        const void* hit =
            std::memchr(image + from, pattern[0], static_cast<std::size_t>(to - from));
        if (hit == nullptr) return -1;
        const auto p = static_cast<std::int32_t>(static_cast<const std::uint8_t*>(hit) - image);
        if (matches_at(image, p, pattern)) return p;
        from = p + 1;
    }
    return -1;
}

// Previous offset in [from, to) holding `byte`, or -1.
std::int32_t previous_byte(const std::uint8_t* image, std::int32_t from, std::int32_t to,
                           std::uint8_t byte) {
#if defined(__GLIBC__)
    const void* hit = memrchr(image + from, byte, static_cast<std::size_t>(to - from));
    return hit == nullptr
               ? -1
               : static_cast<std::int32_t>(static_cast<const std::uint8_t*>(hit) - image);
#else
    for (std::int32_t p = to - 1; p >= from; --p)
        if (image[p] == byte) return p;
    return -1;
#endif
}

std::int32_t last_by_memrchr(const std::uint8_t* image, std::int32_t from, std::int32_t to,
                             std::span<const std::uint8_t> pattern) {
    while (from < to) {
        const std::int32_t p = previous_byte(image, from, to, pattern[0]);
        if (p < 0) return -1;
        if (matches_at(image, p, pattern)) return p;
        to = p;
    }
    return -1;
}

#if defined(__SSE2__)

// The second anchor: the last byte, unless it equals the first, then the last byte that differs.
// Zero-filled images are common and patterns like 00 00 55 00 would otherwise make every offset
// a candidate.
std::int32_t second_anchor(std::span<const std::uint8_t> pattern) {
    auto k = static_cast<std::int32_t>(pattern.size()) - 1;
    while (k > 0 && pattern[static_cast<std::size_t>(k)] == pattern[0]) --k;
    return k > 0 ? k : static_cast<std::int32_t>(pattern.size()) - 1;
}

// The two anchors of a pattern, each byte broadcast to all 16 lanes.
struct Filter {
    __m128i first;        // pattern[0]
    __m128i second;       // pattern[offset]
    std::int32_t offset;  // 0 < offset < pattern size
};

Filter make_filter(std::span<const std::uint8_t> pattern) {
    const std::int32_t k = second_anchor(pattern);
    return {_mm_set1_epi8(static_cast<char>(pattern[0])),
            _mm_set1_epi8(static_cast<char>(pattern[static_cast<std::size_t>(k)])), k};
}

// Lane j is all ones when offset at + j holds both anchors. Reads at[0 .. offset + 15].
__m128i candidates16(const std::uint8_t* at, const Filter& f) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + f.offset));
    return _mm_and_si128(_mm_cmpeq_epi8(head, f.first), _mm_cmpeq_epi8(tail, f.second));
}

std::uint64_t lane_bits(__m128i lanes) {
    return static_cast<std::uint16_t>(_mm_movemask_epi8(lanes));
}

// Bit j set when offset at + j holds both anchors, for j < 64. Reads at[0 .. offset + 63].
// One movemask decides the common case (no candidate) before the four masks are assembled.
// Forced inline: as a call (GCC declines at -O2, it has two callers) the anchors are reloaded
// from memory on every step and the scan loses about a quarter of its speed.
[[gnu::always_inline]] inline std::uint64_t candidates64(const std::uint8_t* at, const Filter& f) {
    const __m128i c0 = candidates16(at, f);
    const __m128i c1 = candidates16(at + 16, f);
    const __m128i c2 = candidates16(at + 32, f);
    const __m128i c3 = candidates16(at + 48, f);
    const __m128i any = _mm_or_si128(_mm_or_si128(c0, c1), _mm_or_si128(c2, c3));
    if (_mm_movemask_epi8(any) == 0) return 0;
    return lane_bits(c0) | lane_bits(c1) << 16 | lane_bits(c2) << 32 | lane_bits(c3) << 48;
}

// The lowest candidate of `bits` (offsets at base + j) that matches, or -1.
std::int32_t lowest_match(const std::uint8_t* image, std::int32_t base, std::uint64_t bits,
                          std::span<const std::uint8_t> pattern) {
    for (; bits != 0; bits &= bits - 1) {
        const std::int32_t p = base + std::countr_zero(bits);
        if (matches_at(image, p, pattern)) return p;
    }
    return -1;
}

std::int32_t highest_match(const std::uint8_t* image, std::int32_t base, std::uint64_t bits,
                           std::span<const std::uint8_t> pattern) {
    for (; bits != 0;) {
        const int j = 63 - std::countl_zero(bits);
        if (matches_at(image, base + j, pattern)) return base + j;
        bits &= ~(std::uint64_t{1} << j);
    }
    return -1;
}

// A block of candidates [p, p + w) is scanned only when p + w <= to (to = image size - pattern
// size + 1): its last load then ends at p + w - 1 + offset <= to - 1 + pattern size - 1, which is
// the last byte of the image. What is left over goes to the memchr / memrchr path.
std::int32_t first_by_filter(const std::uint8_t* image, std::int32_t from, std::int32_t to,
                             std::span<const std::uint8_t> pattern) {
    const Filter f = make_filter(pattern);
    std::int32_t p = from;
    for (; to - p >= 64; p += 64) {
        const std::uint64_t bits = candidates64(image + p, f);
        if (bits == 0) continue;
        const std::int32_t hit = lowest_match(image, p, bits, pattern);
        if (hit >= 0) return hit;
    }
    for (; to - p >= 16; p += 16) {
        const std::int32_t hit =
            lowest_match(image, p, lane_bits(candidates16(image + p, f)), pattern);
        if (hit >= 0) return hit;
    }
    return first_by_memchr(image, p, to, pattern);
}

std::int32_t last_by_filter(const std::uint8_t* image, std::int32_t from, std::int32_t to,
                            std::span<const std::uint8_t> pattern) {
    const Filter f = make_filter(pattern);
    std::int32_t p = to;
    for (; p - from >= 64; p -= 64) {
        const std::uint64_t bits = candidates64(image + p - 64, f);
        if (bits == 0) continue;
        const std::int32_t hit = highest_match(image, p - 64, bits, pattern);
        if (hit >= 0) return hit;
    }
    for (; p - from >= 16; p -= 16) {
        const std::uint64_t bits = lane_bits(candidates16(image + p - 16, f));
        const std::int32_t hit = highest_match(image, p - 16, bits, pattern);
        if (hit >= 0) return hit;
    }
    return last_by_memrchr(image, from, p, pattern);
}

#else

std::int32_t first_by_filter(const std::uint8_t* image, std::int32_t from, std::int32_t to,
                             std::span<const std::uint8_t> pattern) {
    return first_by_memchr(image, from, to, pattern);
}

std::int32_t last_by_filter(const std::uint8_t* image, std::int32_t from, std::int32_t to,
                            std::span<const std::uint8_t> pattern) {
    return last_by_memrchr(image, from, to, pattern);
}

#endif

}  // namespace

std::int32_t scan_forward(std::span<const std::uint8_t> image, std::int32_t first,
                          std::span<const std::uint8_t> pattern) {
    const auto size = static_cast<std::int32_t>(image.size());
    if (pattern.size() > image.size()) return -1;
    const auto length = static_cast<std::int32_t>(pattern.size());
    const std::int32_t end = size - length + 1;  // one past the last possible match
    if (first >= end) return -1;
    if (length == 0) return first;
    if (length == 1) return first_by_memchr(image.data(), first, end, pattern);
    return first_by_filter(image.data(), first, end, pattern);
}

std::int32_t scan_backward(std::span<const std::uint8_t> image, std::int32_t last,
                           std::span<const std::uint8_t> pattern) {
    const auto size = static_cast<std::int32_t>(image.size());
    if (pattern.size() > image.size()) return -1;
    const auto length = static_cast<std::int32_t>(pattern.size());
    if (length == 0) return last;
    const std::int32_t end = std::min(last, size - length) + 1;
    if (length == 1) return last_by_memrchr(image.data(), 0, end, pattern);
    return last_by_filter(image.data(), 0, end, pattern);
}

}  // namespace fenk::search
