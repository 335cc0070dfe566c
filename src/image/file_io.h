// Moving whole files between the disk and the image: the L and S commands, the load of
// the file named at start, and the emergency copy written when the terminal is lost.
#pragma once

namespace fenk {

void load_file(const char* path);
void save_file(const char* path);
void load_prompt();
void save_prompt();

// Writes the image to a new file next to `file_name`, named after it with ".save" (then
// ".save.1", ".save.2", ... so that no existing file is overwritten), created with mode
// 0600 and then given the permission bits of the file it copies. Returns the name
// written (valid until the next call), or null when no copy could be written. Allocates
// nothing, so it also serves an ending for want of memory.
const char* save_emergency_copy();

}  // namespace fenk
