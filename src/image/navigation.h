// Moving the view and the current position: the four arrow keys, G and J.
#pragma once

namespace fenk {

void go_to_start();
void go_to_end();
void previous_sector();
void next_sector();
void goto_sector();
void jump_to_byte();

}  // namespace fenk
