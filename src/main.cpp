// fenk [FILE]: a full-screen editor for the raw bytes of one file.
#include <exception>

#include "control/startup.h"

// Nothing throws on purpose; whatever still escapes (the curses library or the standard
// library failing for want of memory) ends the editor without losing the edits.
int main(int argc, char** argv) {
    try {
        fenk::start_up(argc, argv);
    } catch (const std::exception& error) {
        fenk::end_by_error(error.what());
    } catch (...) {
        fenk::end_by_error("unknown exception");
    }
}
