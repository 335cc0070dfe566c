// The command loop: reads one key at a time and hands it to the command that serves it.
#pragma once

#include "control/keys.h"
#include "search/pattern.h"

namespace fenk {

// Runs the command of one key (letters folded to upper case first).
void run_command(KeyRecord key, search::SearchVariables& search);
// Reads and runs keys until the program ends; never returns.
[[noreturn]] void command_loop();

}  // namespace fenk
