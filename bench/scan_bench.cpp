// Speed of the byte scan over a 1 GiB image, each figure next to the C library routine it is
// judged against: memchr / memrchr for an absent byte in random bytes, memmem in an all-zero image.
// The images are built once, outside any timing; "absent" is checked, not assumed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "search/scan.h"

namespace {

using fenk::search::scan_backward;
using fenk::search::scan_forward;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t IMAGE_BYTES = std::int32_t{1} << 30;
constexpr std::uint8_t ABSENT_BYTE = 255;  // the random image holds 0..254 only

// splitmix64: fast and good enough to make bytes without structure.
std::uint64_t next_random(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
}

std::uint8_t random_byte_below_255(std::uint64_t& state) {
    return static_cast<std::uint8_t>(next_random(state) % ABSENT_BYTE);
}

const Bytes& random_image() {
    static const Bytes image = [] {
        Bytes bytes(static_cast<std::size_t>(IMAGE_BYTES));
        std::uint64_t state = 1;
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            std::uint64_t word = next_random(state);
            for (std::size_t j = 0; j < 8; ++j, word >>= 8) {
                const auto b = static_cast<std::uint8_t>(word);
                bytes[i + j] = b == ABSENT_BYTE ? 0 : b;
            }
        }
        return bytes;
    }();
    return image;
}

const Bytes& zero_image() {
    static const Bytes image(static_cast<std::size_t>(IMAGE_BYTES), 0);
    return image;
}

// An 8-byte pattern of the image's alphabet that memmem confirms does not occur in it.
const Bytes& absent_pattern() {
    static const Bytes pattern = [] {
        const Bytes& image = random_image();
        std::uint64_t state = 7;
        for (;;) {
            Bytes candidate(8);
            for (auto& b : candidate) b = random_byte_below_255(state);
            if (memmem(image.data(), image.size(), candidate.data(), candidate.size()) == nullptr)
                return candidate;
        }
    }();
    return pattern;
}

const Bytes zeros_pattern{0, 0, 0, 1};
constexpr std::int32_t NOT_FOUND = -1;

// Times one scan of the whole image; `scan` answers whether it found anything, which it must not.
template <typename Scan>
void time_whole_image(benchmark::State& state, Scan scan) {
    bool found = false;
    for (auto _ : state) {
        found = scan();
        benchmark::DoNotOptimize(found);
    }
    if (found) state.SkipWithError("the absent pattern was found");
    state.SetBytesProcessed(state.iterations() * IMAGE_BYTES);
}

void BM_MemchrAbsentByte(benchmark::State& state) {
    const Bytes& image = random_image();
    time_whole_image(
        state, [&] { return std::memchr(image.data(), ABSENT_BYTE, image.size()) != nullptr; });
}

void BM_ScanForwardRandom(benchmark::State& state) {
    const Bytes& image = random_image();
    const Bytes& pattern = absent_pattern();
    time_whole_image(state, [&] { return scan_forward(image, 0, pattern) != NOT_FOUND; });
}

void BM_MemrchrAbsentByte(benchmark::State& state) {
    const Bytes& image = random_image();
    time_whole_image(state,
                     [&] { return memrchr(image.data(), ABSENT_BYTE, image.size()) != nullptr; });
}

void BM_ScanBackwardRandom(benchmark::State& state) {
    const Bytes& image = random_image();
    const Bytes& pattern = absent_pattern();
    time_whole_image(state,
                     [&] { return scan_backward(image, IMAGE_BYTES, pattern) != NOT_FOUND; });
}

void BM_MemmemZeros(benchmark::State& state) {
    const Bytes& image = zero_image();
    time_whole_image(state, [&] {
        return memmem(image.data(), image.size(), zeros_pattern.data(), zeros_pattern.size()) !=
               nullptr;
    });
}

void BM_ScanForwardZeros(benchmark::State& state) {
    const Bytes& image = zero_image();
    time_whole_image(state, [&] { return scan_forward(image, 0, zeros_pattern) != NOT_FOUND; });
}

void BM_ScanBackwardZeros(benchmark::State& state) {
    const Bytes& image = zero_image();
    time_whole_image(state,
                     [&] { return scan_backward(image, IMAGE_BYTES, zeros_pattern) != NOT_FOUND; });
}

// The two cases that must answer without touching the image.
void BM_ScanEmptyPattern(benchmark::State& state) {
    const Bytes& image = zero_image();
    const std::span<const std::uint8_t> empty;
    for (auto _ : state) benchmark::DoNotOptimize(scan_forward(image, 12345, empty));
}

void BM_ScanPatternLongerThanImage(benchmark::State& state) {
    // The whole image as pattern, one byte less of it as image: no second 1 GiB buffer needed.
    const std::span<const std::uint8_t> pattern(zero_image());
    const auto image = pattern.first(pattern.size() - 1);
    for (auto _ : state) benchmark::DoNotOptimize(scan_forward(image, 0, pattern));
}

// Figures are medians: the machine is shared and a single run says little.
void median_of_five(benchmark::internal::Benchmark* b) {
    b->Repetitions(5)->ReportAggregatesOnly(true);
}

}  // namespace

BENCHMARK(BM_MemchrAbsentByte)->Apply(median_of_five)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanForwardRandom)->Apply(median_of_five)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemrchrAbsentByte)->Apply(median_of_five)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanBackwardRandom)->Apply(median_of_five)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemmemZeros)->Apply(median_of_five)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanForwardZeros)->Apply(median_of_five)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanBackwardZeros)->Apply(median_of_five)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanEmptyPattern)->Apply(median_of_five)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_ScanPatternLongerThanImage)->Apply(median_of_five)->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
