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

// The keys that sequences name take the values after the 256 bytes, so that one switch
// dispatches both.
constexpr int named(Key key) { return 256 + static_cast<int>(key); }

// A byte with lower-case letters folded to upper case, or a named key's value.
int dispatch_value(const KeyRecord& key) {
    if (key.name != Key::byte) return named(key.name);
    if (key.first >= 'a' && key.first <= 'z') return key.first - 32;
    return key.first;
}

}  // namespace

void run_command(KeyRecord key, search::SearchVariables& search) {
    switch (dispatch_value(key)) {
        case KEY_CTRL_C: screen::show_message("Hit 'Q' to exit"); break;
        case KEY_CTRL_L:
            screen::redraw_screen();
            screen::show_message("Waiting for command");
            break;
        case named(Key::up):
        case named(Key::page_up): previous_sector(); break;
        case named(Key::down):
        case named(Key::page_down): next_sector(); break;
        case named(Key::right):
        case named(Key::end): go_to_end(); break;
        case named(Key::left):
        case named(Key::home): go_to_start(); break;
        // ESC and a byte: the byte comes again as the next key. Any other sequence is
        // dropped without a word.
        case named(Key::escape):
        case named(Key::paste):
        case named(Key::other): break;
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
