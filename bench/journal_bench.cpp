// The undo journal's cost: heap bytes per recorded edit over a ten-million-edit pass
// (counted by the allocator itself), the time per edit, the time to revert such a pass,
// and a pasted megabyte through text edit mode in-process (no terminal in the way).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "edit/edit_modes.h"
#include "edit/journal.h"
#include "image/dirty_map.h"
#include "image/state.h"
#include "screen/terminal.h"

namespace {

using namespace fenk;

constexpr std::int32_t IMAGE_BYTES = 1 << 20;
constexpr std::int64_t PASS_EDITS = 10'000'000;

void load_blank_image() {
    editor = EditorState{};
    if (!editor.image.allocate(IMAGE_BYTES)) std::abort();
    editor.image_size = IMAGE_BYTES;
    reset_dirty_map(editor.dirty_map, IMAGE_BYTES);
    editor.last_sector = IMAGE_BYTES / SECTOR_BYTES;
    editor.file_loaded = true;
    terminal::use_memory("");
}

// Heap bytes in use: small blocks and mapped ones alike.
std::int64_t heap_in_use() {
    struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

void record_pass(std::int64_t edits) {
    for (std::int64_t i = 0; i < edits; ++i) {
        editor.cursor_offset = static_cast<std::int32_t>(i % IMAGE_BYTES);
        if (!record_edit()) std::abort();
    }
}

// One pass of ten million edits: the time per edit and the heap it costs.
void BM_JournalPassOfTenMillionEdits(benchmark::State& state) {
    load_blank_image();
    double bytes_per_edit = 0;
    std::chrono::nanoseconds spent{0};
    for (auto _ : state) {
        restart_journal();
        std::int64_t before = heap_in_use();
        auto start = std::chrono::steady_clock::now();
        record_pass(PASS_EDITS);
        spent += std::chrono::steady_clock::now() - start;
        bytes_per_edit = static_cast<double>(heap_in_use() - before) / PASS_EDITS;
        benchmark::DoNotOptimize(editor.undo_journal.undo_newest);
    }
    restart_journal();
    state.SetItemsProcessed(state.iterations() * PASS_EDITS);
    state.counters["heap_bytes_per_edit"] = bytes_per_edit;
    state.counters["ns_per_edit"] =
        static_cast<double>(spent.count()) / static_cast<double>(state.iterations() * PASS_EDITS);
}
BENCHMARK(BM_JournalPassOfTenMillionEdits)->Iterations(3)->Unit(benchmark::kMillisecond);

// Reverting a ten-million-edit pass with U (the repaint goes to memory).
void BM_UndoOfTenMillionEdits(benchmark::State& state) {
    load_blank_image();
    for (auto _ : state) {
        state.PauseTiming();
        restart_journal();
        record_pass(PASS_EDITS);
        editor.file_modified = true;
        state.ResumeTiming();
        undo_edits();
        state.PauseTiming();
        terminal::take_output();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * PASS_EDITS);
}
BENCHMARK(BM_UndoOfTenMillionEdits)->Iterations(3)->Unit(benchmark::kMillisecond);

// A pasted megabyte typed into text edit mode, the terminal layer reading from memory.
void BM_PasteOneMegabyteInProcess(benchmark::State& state) {
    load_blank_image();
    std::string paste(IMAGE_BYTES, 'p');
    for (std::size_t i = 0; i < paste.size(); ++i) paste[i] = static_cast<char>(' ' + i % 95);
    std::string input = paste + "\x1b\x1b";
    std::size_t output_bytes = 0;
    for (auto _ : state) {
        editor.cursor_offset = 0;
        editor.current_sector = 0;
        terminal::use_memory(input);
        ascii_edit();
        output_bytes = terminal::take_output().size();
    }
    if (editor.cursor_offset != IMAGE_BYTES) state.SkipWithError("the paste did not reach the end");
    state.SetBytesProcessed(state.iterations() * IMAGE_BYTES);
    state.counters["output_bytes"] = static_cast<double>(output_bytes);
}
BENCHMARK(BM_PasteOneMegabyteInProcess)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
