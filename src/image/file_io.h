// Moving whole files between the disk and the image: the L and S commands, the load of
// the file named at start, and the emergency copy written when the terminal is lost.
#pragma once

#include <string>

namespace fenk {

void load_file(const char* path);
void save_file(const char* path);
void load_prompt();
void save_prompt();

// Writes the image to a new file next to `file_name`, named after it with ".save" (then
// ".save.1", ".save.2", ... so that no existing file is overwritten). Returns the name
// written, or an empty string when no copy could be written.
std::string save_emergency_copy();

}  // namespace fenk
