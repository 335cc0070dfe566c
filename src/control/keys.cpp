// Key decoding, the questions and the readers of the prompts. There is no time-out after
// ESC: a lone ESC is complete only with the key pressed after it, and a sequence whose
// bytes arrive one by one with pauses reads exactly like one that arrives at once.
#include "control/keys.h"

#include <limits>
#include <string_view>

#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/terminal.h"

namespace fenk {
namespace {

// White space as the C library's classification has it in the default locale.
bool is_blank(int byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r';
}

// The end of an answer line. In line input Return is byte 10; keys typed ahead before a
// prompt turned to line input (a paste, keys typed during a long search) were read as
// they came, and their Return is a carriage return.
bool is_line_end(int byte) { return byte == '\n' || byte == '\r'; }

bool is_parameter(int byte) { return byte >= 0x30 && byte <= 0x3F; }
bool is_intermediate(int byte) { return byte >= 0x20 && byte <= 0x2F; }
bool is_final(int byte) { return byte >= 0x40 && byte <= 0x7E; }

// The byte that ends ESC O, or a CSI without parameters: the same letters name the same
// keys in both.
Key letter_key(int byte) {
    switch (byte) {
        case 'A': return Key::up;
        case 'B': return Key::down;
        case 'C': return Key::right;
        case 'D': return Key::left;
        case 'H': return Key::home;
        case 'F': return Key::end;
        default: return Key::other;
    }
}

// A CSI that ends in ~ names a key by its one parameter.
Key tilde_key(std::string_view parameters) {
    if (parameters == "1") return Key::home;
    if (parameters == "4") return Key::end;
    if (parameters == "5") return Key::page_up;
    if (parameters == "6") return Key::page_down;
    if (parameters == "200" || parameters == "201") return Key::paste;
    return Key::other;
}

// Reads the next byte of a sequence; it is the sequence's last byte until another comes.
// An ESC belongs to no sequence: it breaks the one under way and is read again as the
// start of the next key, so that an arrow pressed after an unfinished sequence (Alt-[
// sends ESC [) stays whole instead of leaving its tail to run as commands.
int next_in_sequence(KeyRecord& key) {
    int byte = terminal::next_byte();
    key.final_byte = static_cast<std::uint8_t>(byte);
    if (byte == KEY_ESC) {
        terminal::push_back(byte);
        return byte;
    }
    if (key.length < std::numeric_limits<std::int32_t>::max()) ++key.length;
    return byte;
}

// After ESC [: parameter bytes, then intermediate bytes, then the final byte; or [ and one
// more byte, which ends the function keys of the Linux console. Only the
// first four parameter bytes are kept: a named key has at most three, so four tell it
// apart from every longer list.
void read_csi(KeyRecord& key) {
    char parameters[4];
    std::size_t kept = 0;
    bool intermediates = false;
    int byte = next_in_sequence(key);
    if (byte == '[') {  // the Linux console's F1 to F5, ESC [ [ A to E: one more byte
        next_in_sequence(key);
        key.name = Key::other;
        return;
    }
    for (; is_parameter(byte); byte = next_in_sequence(key)) {
        if (kept < sizeof parameters) parameters[kept++] = static_cast<char>(byte);
    }
    for (; is_intermediate(byte); byte = next_in_sequence(key)) intermediates = true;
    key.name = Key::other;  // malformed, or a final byte that names nothing
    if (!is_final(byte) || intermediates) return;
    if (kept == 0) key.name = letter_key(byte);
    if (byte == '~') key.name = tilde_key(std::string_view(parameters, kept));
}

const char* current_question = nullptr;  // the question waiting for its answer

void show_question() {
    terminal::out(current_question);
    screen::home_message();
    screen::move_cursor(screen::MESSAGE_ROW, screen::QUESTION_ANSWER_COL);
}

// The question again after a repaint for the continue signal, which blanked it.
void show_question_again() {
    screen::clear_message();
    show_question();
}

}  // namespace

void read_key(KeyRecord& key) {
    key = KeyRecord{};
    key.first = static_cast<std::uint8_t>(terminal::next_byte());
    if (key.first == KEY_ESC) {
        key.name = Key::escape;
        key.second = static_cast<std::uint8_t>(terminal::next_byte());
        if (key.second == '[') {
            key.length = 2;
            read_csi(key);
        } else if (key.second == 'O') {
            key.length = 2;
            key.name = letter_key(next_in_sequence(key));
        } else {
            terminal::push_back(key.second);
        }
    }
    screen::set_normal();
}

int read_byte() {
    int byte = terminal::next_byte();
    screen::set_normal();
    return byte;
}

bool ask_to_go_on(const char* question) {
    screen::clear_message();
    current_question = question;
    show_question();
    screen::after_repaint = show_question_again;
    KeyRecord answer;
    do {
        read_key(answer);
    } while (answer.name == Key::paste);
    screen::after_repaint = nullptr;
    screen::clear_message();
    if (answer.name == Key::byte && answer.first == 'y') return true;
    terminal::out("Returning to command mode");
    screen::home_message();
    return false;
}

LineRead read_line(std::span<std::uint8_t> buffer, std::int32_t& length) {
    std::size_t count = 0;
    for (int byte = terminal::next_byte(); !is_line_end(byte); byte = terminal::next_byte()) {
        if (count < buffer.size()) buffer[count] = static_cast<std::uint8_t>(byte);
        ++count;
    }
    if (count > buffer.size()) return LineRead::too_long;
    length = static_cast<std::int32_t>(count);
    return LineRead::ok;
}

LineRead read_answer(std::span<std::uint8_t> buffer, std::int32_t& length) {
    std::size_t count = 0;  // bytes of the answer so far, blanks after it included
    std::size_t kept = 0;   // the answer up to its last byte that is not a blank
    bool too_long = false;
    for (int byte = terminal::next_byte(); !is_line_end(byte) || count == 0;
         byte = terminal::next_byte()) {
        if (is_blank(byte) && count == 0) continue;  // before the answer, or a blank line
        if (count < buffer.size()) buffer[count] = static_cast<std::uint8_t>(byte);
        ++count;
        if (is_blank(byte)) continue;
        kept = count;
        if (count > buffer.size()) too_long = true;
    }
    if (too_long) return LineRead::too_long;
    length = static_cast<std::int32_t>(kept);
    return LineRead::ok;
}

}  // namespace fenk
