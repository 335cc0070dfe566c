// Fuzzes the key decoder: any byte stream decodes into key records, one after another,
// until the input ends; no byte is lost or invented, a sequence is read to its end and no
// further, and a key gets a name exactly when its bytes are one of that name's forms.
#include <string_view>

#include "control/keys.h"
#include "fuzz_support.h"

namespace {

using fenk::Key;

bool is_parameter(std::uint8_t byte) { return byte >= 0x30 && byte <= 0x3F; }
bool is_intermediate(std::uint8_t byte) { return byte >= 0x20 && byte <= 0x2F; }

// The sequences that name a key, as terminals send them.
struct NamedForm {
    std::string_view bytes;
    Key name;
};
constexpr NamedForm NAMED_FORMS[] = {
    {"\x1b[A", Key::up},         {"\x1bOA", Key::up},       {"\x1b[B", Key::down},
    {"\x1bOB", Key::down},       {"\x1b[C", Key::right},    {"\x1bOC", Key::right},
    {"\x1b[D", Key::left},       {"\x1bOD", Key::left},     {"\x1b[5~", Key::page_up},
    {"\x1b[6~", Key::page_down}, {"\x1b[H", Key::home},     {"\x1b[1~", Key::home},
    {"\x1bOH", Key::home},       {"\x1b[F", Key::end},      {"\x1b[4~", Key::end},
    {"\x1bOF", Key::end},        {"\x1b[200~", Key::paste}, {"\x1b[201~", Key::paste},
};

Key name_of(std::string_view sequence) {
    for (const NamedForm& form : NAMED_FORMS) {
        if (form.bytes == sequence) return form.name;
    }
    return Key::other;
}

// A sequence of `length` bytes at `at`: ESC O and one byte, ESC [ [ and one byte, or ESC [
// and parameter and intermediate bytes up to its last byte. An ESC that breaks a sequence
// is its last byte but is not counted: it starts the next key.
void check_sequence(const fenk::KeyRecord& key, const std::uint8_t* at, std::size_t length) {
    fenk_fuzz::check(key.second == at[1], "key.second == at[1]");
    const bool broken = key.final_byte == fenk::KEY_ESC;
    const std::size_t last = broken ? length : length - 1;
    fenk_fuzz::check(key.final_byte == at[last], "key.final_byte == at[last]");
    if (key.second == 'O') {
        fenk_fuzz::check(last == 2, "last == 2");
    } else if (length > 2 && at[2] == '[') {  // the Linux console's ESC [ [ and one byte
        fenk_fuzz::check(last == 3, "last == 3");
    } else {
        fenk_fuzz::check(key.second == '[' && last >= 2, "key.second == '[' && last >= 2");
        for (std::size_t i = 2; i < last; ++i) {
            fenk_fuzz::check(is_parameter(at[i]) || is_intermediate(at[i]),
                             "is_parameter(at[i]) || is_intermediate(at[i])");
        }
    }
    std::string_view bytes(reinterpret_cast<const char*>(at), last + 1);
    fenk_fuzz::check(key.name == name_of(bytes), "key.name == name_of(bytes)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenk_fuzz::feed(data, size);
    std::size_t consumed = 0;
    try {
        for (;;) {
            fenk::KeyRecord key;
            fenk::read_key(key);
            const auto length = static_cast<std::size_t>(key.length);
            fenk_fuzz::check(consumed + length <= size, "consumed + length <= size");
            fenk_fuzz::check(key.first == data[consumed], "key.first == data[consumed]");
            if (key.name == Key::byte) {
                fenk_fuzz::check(key.first != fenk::KEY_ESC && length == 1,
                                 "key.first != fenk::KEY_ESC && length == 1");
                fenk_fuzz::check(key.second == 0 && key.final_byte == 0,
                                 "key.second == 0 && key.final_byte == 0");
            } else if (key.name == Key::escape) {
                // The byte after ESC is pushed back and read again as the next key.
                fenk_fuzz::check(length == 1 && consumed + 1 < size, "length == 1");
                fenk_fuzz::check(key.second == data[consumed + 1] && key.second != '[' &&
                                     key.second != 'O' && key.final_byte == 0,
                                 "key.second == data[consumed + 1], not [ or O");
            } else {
                check_sequence(key, data + consumed, length);
            }
            consumed += length;
            fenk::terminal::take_output();
        }
    } catch (const fenk_fuzz::InputEnded&) {
    }
    return 0;
}
