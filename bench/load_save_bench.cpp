// Load and save of a 1 GiB image against the floors of this machine, measured in the
// same run: a plain read() of the file into a reused buffer and `cat FILE > /dev/null`
// for the load (the file is in the page cache), write() plus fsync of the same bytes for
// the whole save, one 4 KiB pwrite() plus fsync for a save back after a one-byte edit;
// saves after edits spread over the image compare with the whole save. A separate process
// loads the file once and reports its peak resident set.
//
//   load_save_bench [--bench_dir=DIR] [benchmark flags]
// The 1 GiB file is created in DIR (default $TMPDIR or /tmp) and removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/dirty_map.h"
#include "image/file_io.h"
#include "image/state.h"
#include "screen/terminal.h"

namespace {

constexpr std::size_t FILE_BYTES = std::size_t{1} << 30;
constexpr std::size_t BLOCK = std::size_t{1} << 26;  // the editor's own transfer size

std::string bench_dir;
std::string input_path;   // the 1 GiB file to load
std::string output_path;  // where saves go
std::string self_path;    // this program, for the peak-memory child

void fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

// The test file: varied bytes, so that nothing in the path can shortcut zero pages.
void create_input() {
    int fd = ::open(input_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) fail("create input");
    std::vector<unsigned char> block(BLOCK);
    for (std::size_t done = 0; done < FILE_BYTES; done += BLOCK) {
        for (std::size_t i = 0; i < BLOCK; ++i) {
            block[i] = static_cast<unsigned char>((done + i) * 2654435761u >> 13);
        }
        if (::write(fd, block.data(), BLOCK) != static_cast<ssize_t>(BLOCK)) fail("write input");
    }
    ::close(fd);
}

// Reads the whole file into `buffer` in blocks; returns the bytes read.
std::size_t read_into(const std::string& path, unsigned char* buffer) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) fail("open for read");
    std::size_t done = 0;
    for (;;) {
        ssize_t got = ::read(fd, buffer + done, BLOCK);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return done;
}

void release_image() {
    fenk::editor.image = fenk::ImageBuffer();
    fenk::editor.image_size = 0;
}

void check_loaded(benchmark::State& state) {
    if (static_cast<std::size_t>(fenk::editor.image_size) != FILE_BYTES) {
        state.SkipWithError("the load failed");
    }
    fenk::terminal::take_output();
}

void BM_Load(benchmark::State& state) {
    fenk::terminal::use_memory("");
    for (auto _ : state) {
        fenk::load_file(input_path.c_str());
        state.PauseTiming();
        check_loaded(state);
        release_image();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(FILE_BYTES));
}

void BM_ReadIntoReusedBuffer(benchmark::State& state) {
    std::vector<unsigned char> buffer(FILE_BYTES, 1);  // touched once, before timing
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_into(input_path, buffer.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(FILE_BYTES));
}

void BM_CatToDevNull(benchmark::State& state) {
    std::string command = "cat '" + input_path + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("cat failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(FILE_BYTES));
}

void BM_Save(benchmark::State& state) {
    fenk::terminal::use_memory("");
    fenk::load_file(input_path.c_str());
    check_loaded(state);
    for (auto _ : state) {
        fenk::save_file(output_path.c_str());
        state.PauseTiming();
        if (fenk::editor.file_modified ||
            std::strcmp(fenk::editor.file_name.data(), output_path.c_str()) != 0) {
            state.SkipWithError("the save failed");
        }
        fenk::terminal::take_output();
        state.ResumeTiming();
    }
    release_image();
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(FILE_BYTES));
}

// The floor for a save: the same bytes over the same existing file, then fsync.
void BM_WriteAndFsync(benchmark::State& state) {
    std::vector<unsigned char> buffer(FILE_BYTES);
    read_into(input_path, buffer.data());
    for (auto _ : state) {
        int fd = ::open(output_path.c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0) fail("open output");
        for (std::size_t done = 0; done < FILE_BYTES;) {
            ssize_t put = ::write(fd, buffer.data() + done, std::min(BLOCK, FILE_BYTES - done));
            if (put < 0) fail("write output");
            done += static_cast<std::size_t>(put);
        }
        if (::fsync(fd) != 0) fail("fsync");
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(FILE_BYTES));
}

// Loads the input and saves it whole under output_path, which the image then belongs to:
// later saves there may write only what changed.
bool load_and_adopt_output(benchmark::State& state) {
    fenk::terminal::use_memory("");
    fenk::load_file(input_path.c_str());
    check_loaded(state);
    fenk::save_file(output_path.c_str());
    fenk::terminal::take_output();
    return !fenk::editor.file_modified &&
           std::strcmp(fenk::editor.file_name.data(), output_path.c_str()) == 0;
}

// Changes the byte at `offset` the way an edit key does, dirty mark included.
void edit_byte(std::size_t offset) {
    fenk::editor.image.bytes()[offset] ^= 0x5a;
    fenk::mark_dirty(fenk::editor.dirty_map, static_cast<std::int32_t>(offset));
    fenk::editor.file_modified = true;
}

void save_back(benchmark::State& state) {
    fenk::save_file(fenk::editor.file_name.data());
    state.PauseTiming();
    if (fenk::editor.file_modified) state.SkipWithError("the save failed");
    fenk::terminal::take_output();
    state.ResumeTiming();
}

// S and Return after a one-byte edit, the byte in another region each time.
void BM_SaveAfterOneByteEdit(benchmark::State& state) {
    if (!load_and_adopt_output(state)) state.SkipWithError("the first save failed");
    std::size_t offset = FILE_BYTES / 3;
    for (auto _ : state) {
        state.PauseTiming();
        offset = (offset + 7919 * 4096 + 13) % FILE_BYTES;
        edit_byte(offset);
        state.ResumeTiming();
        save_back(state);
    }
    release_image();
}

// The floor of that save: one 4 KiB positioned write and an fsync of the same file.
void BM_PwriteAndFsync(benchmark::State& state) {
    std::vector<unsigned char> block(4096, 0x5a);
    int fd = ::open(output_path.c_str(), O_WRONLY);
    if (fd < 0) fail("open output");
    off_t offset = FILE_BYTES / 3;
    for (auto _ : state) {
        offset = static_cast<off_t>((static_cast<std::size_t>(offset) + 7919 * 4096) % FILE_BYTES);
        if (::pwrite(fd, block.data(), block.size(), offset) != 4096) fail("pwrite output");
        if (::fsync(fd) != 0) fail("fsync");
    }
    ::close(fd);
}

// A save after edits spread evenly over the image: one byte in `percent` of its 4 KiB
// regions, as far apart as that allows (every other region at 50).
void BM_SaveAfterSpreadEdits(benchmark::State& state) {
    if (!load_and_adopt_output(state)) state.SkipWithError("the first save failed");
    auto percent = static_cast<std::size_t>(state.range(0));
    std::size_t regions = FILE_BYTES / 4096;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t r = 0; r < regions; ++r) {
            if ((r + 1) * percent / 100 > r * percent / 100) edit_byte(r * 4096 + 100);
        }
        state.ResumeTiming();
        save_back(state);
    }
    release_image();
}

// Peak resident set of a fresh process that loads the file once and holds the image.
// The child reports its own high-water mark: the rusage of a spawned child would also
// count the parent's memory, which it shared until the exec.
void BM_PeakMemoryOfLoad(benchmark::State& state) {
    double peak_kib = 0;
    for (auto _ : state) {
        std::string command = "'" + self_path + "' --load-and-exit '" + input_path + "'";
        FILE* child = ::popen(command.c_str(), "r");
        if (child == nullptr || std::fscanf(child, "%lf", &peak_kib) != 1) {
            state.SkipWithError("no report from the child");
        }
        if (child != nullptr && ::pclose(child) != 0) state.SkipWithError("child failed");
    }
    double image_mib = static_cast<double>(FILE_BYTES) / (1 << 20);
    state.counters["peak_MiB"] = peak_kib / 1024;
    state.counters["image_MiB"] = image_mib;
    state.counters["allowed_MiB"] = 1.05 * image_mib + 16;
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(7);
BENCHMARK(BM_ReadIntoReusedBuffer)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(7);
BENCHMARK(BM_CatToDevNull)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(7);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);
BENCHMARK(BM_WriteAndFsync)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_SaveAfterOneByteEdit)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(9);
BENCHMARK(BM_PwriteAndFsync)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(9);
BENCHMARK(BM_SaveAfterSpreadEdits)
    ->Arg(1)
    ->Arg(5)
    ->Arg(10)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_PeakMemoryOfLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The child of BM_PeakMemoryOfLoad: load, then print the peak resident set in KiB.
int load_and_exit(const char* path) {
    fenk::terminal::use_memory("");
    fenk::load_file(path);
    if (static_cast<std::size_t>(fenk::editor.image_size) != FILE_BYTES) return 1;
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return 1;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) std::printf("%s\n", line + 6);
    }
    std::fclose(status);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--load-and-exit") == 0) return load_and_exit(argv[2]);
    const char* tmp = std::getenv("TMPDIR");
    bench_dir = tmp && *tmp ? tmp : "/tmp";
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--bench_dir=", 12) == 0) {
            bench_dir = argv[i] + 12;
        } else {
            rest.push_back(argv[i]);
        }
    }
    int rest_count = static_cast<int>(rest.size());
    benchmark::Initialize(&rest_count, rest.data());
    char self[4096];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) fail("readlink /proc/self/exe");
    self_path.assign(self, static_cast<std::size_t>(length));
    input_path = bench_dir + "/fenk-bench-input-" + std::to_string(::getpid());
    output_path = bench_dir + "/fenk-bench-output-" + std::to_string(::getpid());
    create_input();
    std::vector<unsigned char> warm(BLOCK);
    int fd = ::open(input_path.c_str(), O_RDONLY);
    while (::read(fd, warm.data(), BLOCK) > 0) {
    }
    ::close(fd);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::unlink(input_path.c_str());
    ::unlink(output_path.c_str());
    return 0;
}
