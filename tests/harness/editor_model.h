// A reference model of the editor for whole-session tests: the image, the position, the
// undo journal and the search state, moved by the same rules as the editor, one command
// (or one key inside an edit mode) at a time. Each operation returns the message the editor
// is expected to leave in the message field; the status line and, in an edit mode, the
// terminal cursor follow from the state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fenk_test {

class EditorModel {
  public:
    enum class Arrow { up, down, right, left };
    enum class Mode { hex, text };

    EditorModel(std::string name, std::string bytes);

    // Command loop.
    std::string arrow_command(Arrow arrow);
    // G with a number (nullopt: an answer outside 32 bits).
    std::string goto_sector(std::optional<std::int64_t> n);
    std::string jump_to_byte(std::optional<std::int64_t> n);
    std::string undo();
    // < (-1) or > (1) with a typed line; C.
    std::string search(int direction, const std::string& line);
    std::string continue_search();
    // S: an empty name saves under file_name. Returns the message; the bytes written go
    // to saved_files().
    std::string save(const std::string& typed_name);
    // L of a file whose bytes are `bytes`.
    std::string load(const std::string& name, const std::string& bytes);

    // Edit modes: enter, one key (an arrow, Ctrl-L or a key byte), leave with ESC ESC.
    std::string enter(Mode mode);
    void edit_arrow(Arrow arrow);
    void edit_key(unsigned char key);
    std::string redraw_in_mode() const;

    // What the screen shows.
    std::string sector_counter() const;       // "Sector: a/b"
    std::string offset_counter() const;       // "Offset: c/d"
    std::pair<int, int> edit_cursor() const;  // 1-based screen place in the running mode

    const std::string& image() const { return image_; }
    const std::string& file_name() const { return file_name_; }
    bool modified() const { return modified_; }
    std::int32_t image_size() const { return static_cast<std::int32_t>(image_.size()); }
    std::int32_t last_sector() const { return last_sector_; }
    std::int32_t cursor_offset() const { return cursor_offset_; }
    // Every file the session wrote, with the bytes it should hold now.
    const std::vector<std::pair<std::string, std::string>>& saved_files() const { return saved_; }
    // The pattern bytes a hex line stands for; nullopt when it is not valid hex.
    static std::optional<std::string> hex_pattern(const std::string& line);

  private:
    void page_turn() { current_sector_ = cursor_offset_ / 240; }
    void normalise();
    bool may_write();
    std::string find(int direction, std::int32_t length);

    std::string image_;
    std::int32_t last_sector_ = 0;
    std::int32_t current_sector_ = 0;
    std::int32_t cursor_offset_ = 0;
    bool modified_ = false;
    std::string file_name_;
    std::vector<std::pair<std::int32_t, unsigned char>> journal_;
    bool modified_before_pass_ = false;  // modified_ when the latest pass began
    std::string pattern_;                // the current search pattern
    int search_direction_ = 0;
    std::int32_t search_length_ = 0;
    Mode mode_ = Mode::hex;
    int row_ = 0;
    int column_ = 0;  // hex: digit column 1..40; text: byte column 0..19
    std::vector<std::pair<std::string, std::string>> saved_;
};

}  // namespace fenk_test
