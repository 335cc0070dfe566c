// Shared by the fuzz targets: the in-memory terminal, and an end of input that ends one
// run instead of the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "screen/terminal.h"

namespace fenk_fuzz {

// Thrown by the end-of-input hook; caught by the driver that fed the input.
struct InputEnded {};

[[noreturn]] inline void end_of_input() { throw InputEnded{}; }

// Makes `data` the whole terminal input, with output kept in memory.
inline void feed(const std::uint8_t* data, std::size_t size) {
    fenk::terminal::use_memory(std::string(reinterpret_cast<const char*>(data), size));
    fenk::terminal::set_hooks(nullptr, end_of_input);
    fenk::terminal::key_mode();  // a run that ended inside a prompt left line mode on
}

// Stops the run with a report when an invariant does not hold.
inline void check(bool holds, const char* what, const char* file = __builtin_FILE(),
                  int line = __builtin_LINE()) {
    if (holds) return;
    std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

}  // namespace fenk_fuzz
