// The one editor state of the run.
#include "image/state.h"

namespace fenk {

EditorState editor;

}  // namespace fenk
