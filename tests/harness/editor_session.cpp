// Helpers for end-to-end tests of the editor.
#include "editor_session.h"

namespace fenk_test {

std::string message_text(const Session& session) {
    std::string text = session.text(19, 14, 67);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

std::string message_bytes(std::string_view text) {
    return "\x1b[19;14H" + std::string(65, ' ') + "\x1b[19;14H" + std::string(text) + "\x1b[19;14H";
}

testing::AssertionResult wait_message(Session& session, std::string_view text) {
    auto result = session.wait_until([&] {
        return message_text(session) == text && session.cursor() == std::pair{19, 14};
    });
    if (!result) result << "\nexpected message: \"" << text << "\"";
    return result;
}

testing::AssertionResult answer_question(Session& session, std::string_view key,
                                         std::string_view question, std::string_view answer) {
    session.send(key);
    auto asked = session.wait_until([&] {
        return message_text(session) == question && session.cursor() == std::pair{19, 41};
    });
    if (!asked) return asked << "\nexpected the question: \"" << question << "\"";
    session.send(std::string(answer) + "\x03");
    return wait_message(session, "Hit 'Q' to exit");
}

testing::AssertionResult hex_edit_here(Session& session, std::string_view digits) {
    session.send("h");
    auto entered = session.wait_until([&] {
        return message_text(session) == "HEX editing mode.  ESC twice returns to command mode" &&
               session.cursor() != std::pair{19, 14};
    });
    if (!entered) return entered << "\nexpected hex edit mode";
    session.send(std::string(digits) + "\x1b\x1b");
    return wait_message(session, "Returning to command mode");
}

testing::AssertionResult still_modified(Session& session) {
    return answer_question(session, "q", "File modified, Ok to exit?", "n");
}

std::string hex_panel_row(std::string_view image, std::size_t first) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string row;
    for (std::size_t c = 0; c < 20; ++c) {
        std::size_t p = first + c;
        if (p < image.size()) {
            auto byte = static_cast<unsigned char>(image[p]);
            row += DIGITS[byte >> 4];
            row += DIGITS[byte & 15];
        } else {
            row += "##";
        }
        if (c % 4 == 3) row += ' ';
    }
    return row;
}

std::string text_panel_row(std::string_view image, std::size_t first) {
    std::string row;
    for (std::size_t p = first; p < first + 20; ++p) {
        if (p >= image.size()) {
            row += '#';
            continue;
        }
        auto byte = static_cast<unsigned char>(image[p]);
        row += byte >= 32 && byte <= 126 ? static_cast<char>(byte) : '-';
    }
    return row;
}

Session start_editor(const TempDir& dir, std::string_view bytes, std::string_view name) {
    std::string path = dir.write_file(name, bytes);
    Session session = Session::fenk({path});
    EXPECT_TRUE(wait_message(session,
                             "Image loaded, filesize= " + std::to_string(bytes.size()) + " bytes"));
    return session;
}

Session start_empty_editor(SessionOptions options) {
    Session session = Session::fenk({}, std::move(options));
    EXPECT_TRUE(wait_message(session, "Waiting for command"));
    return session;
}

}  // namespace fenk_test
