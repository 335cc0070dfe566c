// The reference model of the editor, written from the rules of each command rather than
// from the editor's code, so that the two can disagree.
#include "editor_model.h"

#include <algorithm>

namespace fenk_test {
namespace {

constexpr std::int32_t SECTOR = 240;
constexpr std::int32_t ROW = 20;

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

EditorModel::EditorModel(std::string name, std::string bytes)
    : image_(std::move(bytes)), file_name_(std::move(name)) {
    last_sector_ = image_size() / SECTOR;
}

std::string EditorModel::arrow_command(Arrow arrow) {
    switch (arrow) {
        case Arrow::up:
            if (current_sector_ <= 0) return "Already at begining of data";
            --current_sector_;
            cursor_offset_ -= SECTOR;
            return "Moving backward one block";
        case Arrow::down:
            if (current_sector_ >= last_sector_) return "Already at end of data";
            ++current_sector_;
            cursor_offset_ += SECTOR;
            return "Moving forward one block";
        case Arrow::right:
            current_sector_ = last_sector_;
            cursor_offset_ = last_sector_ * SECTOR;
            return "At end of data";
        case Arrow::left:
            current_sector_ = 0;
            cursor_offset_ = 0;
            return "At begining of data";
    }
    return "";
}

std::string EditorModel::goto_sector(std::optional<std::int64_t> n) {
    if (!n || *n < 1 || *n - 1 > last_sector_) return "Sector out of range";
    current_sector_ = static_cast<std::int32_t>(*n - 1);
    cursor_offset_ = current_sector_ * SECTOR;
    return "At requested sector";
}

std::string EditorModel::jump_to_byte(std::optional<std::int64_t> n) {
    if (!n || *n < 0 || *n > image_size()) return "Byte out of range";
    cursor_offset_ = static_cast<std::int32_t>(*n);
    current_sector_ = cursor_offset_ / SECTOR;
    return "At sector of requested byte";
}

std::string EditorModel::undo() {
    if (!modified_ || journal_.empty()) return "Nothing to undo";
    modified_ = modified_before_pass_;
    for (auto it = journal_.rbegin(); it != journal_.rend(); ++it) {
        image_[static_cast<std::size_t>(it->first)] = static_cast<char>(it->second);
    }
    cursor_offset_ = journal_.front().first;
    current_sector_ = cursor_offset_ / SECTOR;
    journal_.clear();
    return "Undo!";
}

std::optional<std::string> EditorModel::hex_pattern(const std::string& line) {
    std::string digits = "0" + line.substr(1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return hex_digit_value(c) >= 0; }))
        return std::nullopt;
    std::size_t bytes = (digits.size()) / 2;  // (typed digits + 1) / 2
    std::size_t start = digits.size() - 2 * bytes;
    std::string pattern;
    for (std::size_t j = 0; j < bytes; ++j) {
        int high = hex_digit_value(digits[start + 2 * j]);
        int low = hex_digit_value(digits[start + 2 * j + 1]);
        pattern += static_cast<char>(high * 16 + low);
    }
    return pattern;
}

std::string EditorModel::search(int direction, const std::string& line) {
    if (!line.empty() && line[0] == '$') {
        std::optional<std::string> bytes = hex_pattern(line);
        if (!bytes) {
            if (search_direction_ != 0) search_direction_ = direction;
            return "Not a valid HEX number";
        }
        pattern_ = *bytes;
    } else {
        pattern_ = line;
    }
    search_direction_ = direction;
    search_length_ = static_cast<std::int32_t>(pattern_.size());
    return find(direction, search_length_);
}

std::string EditorModel::continue_search() {
    if (search_direction_ == 0) return "No search to continue";
    return find(search_direction_, search_length_);
}

std::string EditorModel::find(int direction, std::int32_t length) {
    std::int64_t p = cursor_offset_;
    for (;;) {
        p += direction;
        if (p > image_size() || p < 0) return "String not found";
        if (p + length <= image_size() &&
            image_.compare(static_cast<std::size_t>(p), static_cast<std::size_t>(length), pattern_,
                           0, static_cast<std::size_t>(length)) == 0)
            break;
    }
    cursor_offset_ = static_cast<std::int32_t>(p);
    current_sector_ = cursor_offset_ / SECTOR;
    return "String found";
}

std::string EditorModel::save(const std::string& typed_name) {
    if (!typed_name.empty()) file_name_ = typed_name;
    auto it = std::find_if(saved_.begin(), saved_.end(),
                           [&](const auto& entry) { return entry.first == file_name_; });
    if (it == saved_.end()) {
        saved_.emplace_back(file_name_, image_);
    } else {
        it->second = image_;
    }
    modified_ = false;
    return "File saved";
}

std::string EditorModel::load(const std::string& name, const std::string& bytes) {
    image_ = bytes;
    last_sector_ = image_size() / SECTOR;
    current_sector_ = 0;
    cursor_offset_ = 0;
    file_name_ = name;
    modified_ = false;
    return "Image loaded, filesize= " + std::to_string(image_.size()) + " bytes";
}

std::string EditorModel::enter(Mode mode) {
    mode_ = mode;
    journal_.clear();
    modified_before_pass_ = modified_;
    std::int32_t within = cursor_offset_ - current_sector_ * SECTOR;
    row_ = within / ROW;
    column_ = mode == Mode::hex ? 2 * (within % ROW) + 1 : within % ROW;
    return redraw_in_mode();
}

std::string EditorModel::redraw_in_mode() const {
    return mode_ == Mode::hex ? "HEX editing mode.  ESC twice returns to command mode"
                              : "ASC editing mode.  ESC twice returns to command mode";
}

void EditorModel::normalise() {
    const int first = mode_ == Mode::hex ? 1 : 0;
    const int last = mode_ == Mode::hex ? 40 : 19;
    if (column_ < first) {
        if (row_ > 0) {
            --row_;
            column_ = last;
        } else {
            column_ = first;
        }
    } else if (column_ > last && row_ < 11) {
        ++row_;
        column_ = first;
    }
}

void EditorModel::edit_arrow(Arrow arrow) {
    const bool hex = mode_ == Mode::hex;
    const int last = hex ? 40 : 19;
    switch (arrow) {
        case Arrow::up:
            if (row_ > 0) {
                --row_;
                cursor_offset_ -= ROW;
            } else if (cursor_offset_ >= 201) {
                cursor_offset_ -= ROW;
                page_turn();
                row_ = 11;
            }
            break;
        case Arrow::down:
            if (cursor_offset_ + ROW >= image_size()) break;
            cursor_offset_ += ROW;
            if (row_ <= 10) {
                ++row_;
            } else {
                page_turn();
                row_ = 0;
            }
            break;
        case Arrow::right: {
            if (cursor_offset_ >= image_size()) break;
            const bool next_byte = !hex || column_ % 2 == 0;
            const bool leaves = row_ == 11 && column_ == last;
            // The cursor would have no place on the page shown: refused.
            if (leaves && cursor_offset_ + 1 >= image_size()) break;
            if (next_byte) ++cursor_offset_;
            ++column_;
            if (leaves) {
                page_turn();
                row_ = 0;
                column_ = hex ? 1 : 0;
            }
            break;
        }
        case Arrow::left:
            if (hex) {
                --column_;
                if (cursor_offset_ > 0 && column_ % 2 == 0) --cursor_offset_;
                if (row_ == 0 && column_ == 0 && cursor_offset_ >= 201) {
                    page_turn();
                    row_ = 11;
                    column_ = 40;
                }
            } else if (cursor_offset_ == 0) {
                --column_;
            } else {
                --cursor_offset_;
                if (row_ == 0 && column_ == 0 && cursor_offset_ >= 201) {
                    page_turn();
                    row_ = 11;
                    column_ = 19;
                } else {
                    --column_;
                }
            }
            break;
    }
    normalise();
}

bool EditorModel::may_write() {
    modified_ = true;
    if (cursor_offset_ >= image_size()) return false;
    journal_.emplace_back(cursor_offset_, static_cast<unsigned char>(
                                              image_[static_cast<std::size_t>(cursor_offset_)]));
    return true;
}

void EditorModel::edit_key(unsigned char key) {
    if (key == 12) return;  // Ctrl-L: a repaint
    if (mode_ == Mode::hex) {
        const int value = hex_digit_value(static_cast<char>(key));
        if (value < 0 || !may_write()) return normalise();
        auto& b =
            reinterpret_cast<unsigned char&>(image_[static_cast<std::size_t>(cursor_offset_)]);
        const bool high = column_ % 2 == 1;
        b = static_cast<unsigned char>(high ? (b & 0x0F) | (value << 4) : (b & 0xF0) | value);
        if (row_ == 11 && column_ == 40) {
            ++cursor_offset_;
            page_turn();
            row_ = 0;
            column_ = 1;
        } else {
            if (!high) ++cursor_offset_;
            ++column_;
        }
    } else {
        if (key >= 128 || key == 27 || !may_write()) return normalise();
        image_[static_cast<std::size_t>(cursor_offset_)] = static_cast<char>(key);
        ++cursor_offset_;
        if (row_ == 11 && column_ == 19) {
            page_turn();
            row_ = 0;
            column_ = 0;
        } else {
            ++column_;
        }
    }
    normalise();
}

std::string EditorModel::sector_counter() const {
    return "Sector: " + std::to_string(current_sector_ + 1) + "/" +
           std::to_string(last_sector_ + 1);
}

std::string EditorModel::offset_counter() const {
    return "Offset: " + std::to_string(cursor_offset_) + "/" + std::to_string(image_size());
}

std::pair<int, int> EditorModel::edit_cursor() const {
    if (mode_ == Mode::hex) return {row_ + 3, column_ + 3 + (column_ - 1) / 8};
    return {row_ + 3, 55 + column_};
}

}  // namespace fenk_test
