// The search itself and the display of a match.
#pragma once

#include <cstdint>

namespace fenk::search {

// Looks for the first `length` bytes of search_buffer from the byte next to the cursor,
// toward the end (direction 1) or the start (-1). A match becomes the current position
// and is shown in bold in both panels; otherwise the bell and "String not found".
void find_pattern(std::int32_t direction, std::int32_t length);

}  // namespace fenk::search
