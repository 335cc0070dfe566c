// The command loop and its dispatch table, the only one in the program.
#include "control/command_loop.h"

#include "control/startup.h"
#include "edit/edit_modes.h"
#include "edit/journal.h"
#include "image/file_io.h"
#include "image/navigation.h"
#include "screen/chart.h"
#include "screen/frame.h"
#include "screen/primitives.h"

namespace fenk {
namespace {

constexpr int KEY_CTRL_C = 3;
constexpr int KEY_CTRL_L = 12;

// Only the four arrow keys mean anything after ESC; any other sequence is dropped
// without a word.
void run_escape(const KeyRecord& key) {
    switch (key.final_byte) {
        case 'A': previous_sector(); break;
        case 'B': next_sector(); break;
        case 'C': go_to_end(); break;
        case 'D': go_to_start(); break;
        default: break;
    }
}

}  // namespace

void run_command(KeyRecord key, search::SearchVariables& search) {
    if (key.first >= 'a' && key.first <= 'z') key.first = static_cast<std::uint8_t>(key.first - 32);
    switch (key.first) {
        case KEY_CTRL_C: screen::show_message("Hit 'Q' to exit"); break;
        case KEY_CTRL_L:
            screen::redraw_screen();
            screen::show_message("Waiting for command");
            break;
        case KEY_ESC: run_escape(key); break;
        case '<': search::search_prompt(-1, search); break;
        case '>': search::search_prompt(1, search); break;
        case 'A': ascii_edit(); break;
        case 'C': search::continue_search(search); break;
        case 'G': goto_sector(); break;
        case 'H': hex_edit(); break;
        case 'J': jump_to_byte(); break;
        case 'L': load_prompt(); break;
        case 'Q': quit_editor(); break;
        case 'S': save_prompt(); break;
        case 'T': screen::show_char_table(); break;
        case 'U': undo_edits(); break;
        default: screen::show_message("Not a valid command"); break;
    }
}

void command_loop() {
    search::SearchVariables search;
    for (;;) {
        KeyRecord key;
        read_key(key);
        run_command(key, search);
    }
}

}  // namespace fenk
