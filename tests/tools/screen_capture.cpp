// Prints the editor's real screen as 24 rows of UTF-8 text, for the README. It runs the
// fenk binary on a copy of the shipped sample in a temporary directory, on the same
// 24x80 pseudo-terminal as the end-to-end tests, optionally types keys, waits until the
// screen is still and prints what it shows (line drawing comes out as box characters).
//
//   screen_capture [KEYS...]   each argument is typed as given, after \e (ESC), \r
//                              (Return) and \\ are decoded; the screen settles between two
//
// Exit status 0, or 1 if the editor did not come up.
#include <cstdio>
#include <string>
#include <string_view>

#include "editor_session.h"
#include "pty_session.h"

namespace {

std::string decode_keys(std::string_view text) {
    std::string keys;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            keys += text[i];
            continue;
        }
        char next = text[++i];
        keys += next == 'e' ? '\x1b' : next == 'r' ? '\r' : next;
    }
    return keys;
}

std::string trim_right(std::string row) { return row.substr(0, row.find_last_not_of(' ') + 1); }

}  // namespace

int main(int argc, char** argv) {
    using namespace fenk_test;
    TempDir dir;
    std::string sample = read_file(FENK_SAMPLE);
    dir.write_file("sample.bin", sample);
    SessionOptions options;
    options.working_dir = dir.path();
    Session session = Session::fenk({"sample.bin"}, options);
    std::string loaded = "Image loaded, filesize= " + std::to_string(sample.size()) + " bytes";
    if (!wait_message(session, loaded)) {
        std::fprintf(stderr, "screen_capture: the editor did not come up\n%s\n",
                     session.dump().c_str());
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        session.send(decode_keys(argv[i]));
        session.wait_quiet();
    }
    for (int row = 1; row <= screen_rows; ++row) {
        std::printf("%s\n", trim_right(session.row_text(row)).c_str());
    }
    return 0;
}
