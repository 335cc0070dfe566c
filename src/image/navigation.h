// Moving the view and the current position: the four arrow keys (and the page keys that
// act as they do), G and J.
#pragma once

#include <cstdint>
#include <span>

namespace fenk {

enum class NumberAnswer { number, out_of_range, not_a_number };

// Reads the answer typed after G or J (blanks around it already removed): a decimal number
// with an optional sign, or a hexadecimal one written $1a2b or 0x1A2B (digits and x in
// either case, no sign). Anything else is not a number. A number below -2^31 or above
// 2^31 - 1 is out of range; `value` is set only for a number.
NumberAnswer parse_number(std::span<const std::uint8_t> answer, std::int32_t& value);

void go_to_start();
void go_to_end();
void previous_sector();
void next_sector();
void goto_sector();
void jump_to_byte();

}  // namespace fenk
