// The undo journal of the latest editing pass and the U command.
#pragma once

namespace fenk {

// Discards the current journal and starts an empty one: a new editing pass.
void restart_journal();
// Records the byte at cursor_offset (which must lie inside the image) before an edit
// overwrites it. False when the memory for the entry cannot be had: the edit must then
// be refused, so that no byte is ever changed without being journalled.
bool record_edit();
// The U command: reverts every edit of the latest pass and shows the first one. The
// image stays modified when the pass began with unsaved edits of earlier passes.
void undo_edits();

}  // namespace fenk
