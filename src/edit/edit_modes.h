// The two overwrite modes: H edits the hex panel digit by digit, A the text panel a
// typed byte at a time. Each runs its own key loop until an escape sequence other than
// the four arrows.
#pragma once

namespace fenk {

void hex_edit();
void ascii_edit();

}  // namespace fenk
