// Fuzzes the key decoder: any byte stream decodes into key records, one after another,
// until the input ends; no byte is lost or invented.
#include "control/keys.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fenk_fuzz::feed(data, size);
    std::size_t consumed = 0;
    try {
        for (;;) {
            fenk::KeyRecord key;
            fenk::read_key(key);
            fenk_fuzz::check(consumed < size, "consumed < size");
            fenk_fuzz::check(key.first == data[consumed], "key.first == data[consumed]");
            if (key.first != fenk::KEY_ESC) {
                fenk_fuzz::check(key.second == 0 && key.final_byte == 0,
                                 "key.second == 0 && key.final_byte == 0");
                consumed += 1;
            } else if (key.second == '[') {
                fenk_fuzz::check(consumed + 2 < size && key.final_byte == data[consumed + 2],
                                 "consumed + 2 < size && key.final_byte == data[consumed + 2]");
                consumed += 3;
            } else {
                // The byte after ESC is pushed back and read again as the next key.
                fenk_fuzz::check(key.final_byte == 0 && key.second == data[consumed + 1],
                                 "key.final_byte == 0 && key.second == data[consumed + 1]");
                consumed += 1;
            }
            fenk::terminal::take_output();
        }
    } catch (const fenk_fuzz::InputEnded&) {
    }
    return 0;
}
