// The undo journal. Entries are kept oldest first in fixed-size chunks; an undo writes
// them back newest first, so a byte edited several times ends with its value from
// before the pass.
#include "edit/journal.h"

#include <new>

#include "image/state.h"
#include "screen/primitives.h"
#include "screen/sector_view.h"

namespace fenk {

namespace {

// Forgets every entry and gives their memory back.
void discard_journal() {
    UndoJournal& journal = editor.undo_journal;
    journal.chunks.clear();
    journal.chunks.shrink_to_fit();
    journal.undo_newest = 0;
}

}  // namespace

void restart_journal() {
    discard_journal();
    editor.undo_journal.modified_before = editor.file_modified;
}

bool record_edit() {
    UndoJournal& journal = editor.undo_journal;
    std::size_t index = journal.undo_newest % UNDO_CHUNK_ENTRIES;
    try {
        if (index == 0 && journal.undo_newest / UNDO_CHUNK_ENTRIES == journal.chunks.size()) {
            journal.chunks.push_back(std::make_unique<UndoChunk>());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    UndoChunk& chunk = *journal.chunks[journal.undo_newest / UNDO_CHUNK_ENTRIES];
    auto offset = static_cast<std::size_t>(editor.cursor_offset);
    chunk.offsets[index] = editor.cursor_offset;
    chunk.old_bytes[index] = editor.image.bytes()[offset];
    mark_dirty(editor.dirty_map, editor.cursor_offset);
    ++journal.undo_newest;
    return true;
}

void undo_edits() {
    UndoJournal& journal = editor.undo_journal;
    if (!editor.file_modified || journal.undo_newest == 0) {
        return screen::show_message("Nothing to undo");
    }
    // Edits of earlier passes stay in the image, and so stay unsaved.
    editor.file_modified = journal.modified_before;
    auto image = editor.image.bytes();
    for (std::size_t i = journal.undo_newest; i-- > 0;) {
        const UndoChunk& chunk = *journal.chunks[i / UNDO_CHUNK_ENTRIES];
        std::size_t index = i % UNDO_CHUNK_ENTRIES;
        image[static_cast<std::size_t>(chunk.offsets[index])] = chunk.old_bytes[index];
        // Marked again: a save since the edit may have written the value now undone.
        mark_dirty(editor.dirty_map, chunk.offsets[index]);
    }
    editor.cursor_offset = journal.chunks[0]->offsets[0];
    editor.current_sector = editor.cursor_offset / SECTOR_BYTES;
    discard_journal();
    screen::show_message("Undo!");
    screen::draw_sector();
}

}  // namespace fenk
