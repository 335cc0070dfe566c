// The filter that takes the terminal's answers to the start-up queries out of the input:
// every case is fed whole, split in two at every point, and one byte per read, as the
// answers may reach the program in any number of reads.
#include "screen/replies.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace fenk::terminal {
namespace {

const std::string LEVEL = "\x1bP1$r64;1\"p\x1b\\";  // xterm's report
const std::string ATTRIBUTES = "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c";

struct Result {
    std::string passed;
    std::string level;
    bool outstanding;
};

// Feeds the reads in turn to a filter that waits for the answers.
Result run(const std::vector<std::string>& reads) {
    ReplyFilter filter;
    filter.outstanding = true;
    Result result;
    for (const std::string& read : reads) {
        std::vector<unsigned char> out(read.size() + REPLY_MAX);
        std::span<const unsigned char> in(reinterpret_cast<const unsigned char*>(read.data()),
                                          read.size());
        std::size_t n = filter_replies(filter, in, out);
        result.passed.append(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
    }
    result.level = filter.level.data();
    result.outstanding = filter.outstanding;
    return result;
}

TEST(Replies, AreTakenOutWholeInAnyNumberOfReadsAndKeysPassInOrder) {
    struct Case {
        const char* what;
        std::string input;
        std::string passed;
        std::string level;
        bool outstanding;
    };
    const std::string long_digits(200, '1');
    const Case cases[] = {
        {"xterm's answers", LEVEL + ATTRIBUTES, "", "64;1", false},
        {"keys around and between", "ab" + LEVEL + "c" + ATTRIBUTES + "d", "abcd", "64;1", false},
        {"lone ESC before the answers", "\x1b" + LEVEL + "\x1b" + ATTRIBUTES, "\x1b\x1b", "64;1",
         false},
        {"level one reports no second parameter", "\x1bP1$r61\"p\x1b\\" + ATTRIBUTES, "", "61",
         false},
        {"the old valid flag 0", "\x1bP0$r62;1\"p\x1b\\" + ATTRIBUTES, "", "62;1", false},
        {"the request refused", "\x1bP0$r\x1b\\\x1b[?1;2c", "", "", false},
        {"another setting's report", "\x1bP1$rm\x1b\\" + ATTRIBUTES, "", "", false},
        {"a report not shaped like a level", "\x1bP1$r6;1\"p\x1b\\x", "x", "", true},
        {"keys after the attributes pass", ATTRIBUTES + LEVEL + "\x1b[?1;2c", LEVEL + "\x1b[?1;2c",
         "", false},
        {"arrow keys and ESC ESC", "\x1b[A\x1b\x1bq\x1b[B", "\x1b[A\x1b\x1bq\x1b[B", "", true},
        {"ESC P typed", "\x1bPx\x1bP1x\x1bP1$x", "\x1bPx\x1bP1x\x1bP1$x", "", true},
        {"CSI ? that is no answer", "\x1b[?1h\x1b[?1;2", "\x1b[?1h", "", true},
        {"control byte inside a report", "\x1bP1$r6\r4", "\x1bP1$r6\r4", "", true},
        {"too long to be an answer", "\x1b[?" + long_digits + "c", "\x1b[?" + long_digits + "c", "",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::vector<std::string>> splits = {{c.input}};
        for (std::size_t at = 1; at < c.input.size(); ++at)
            splits.push_back({c.input.substr(0, at), c.input.substr(at)});
        std::vector<std::string> bytes;
        for (char byte : c.input) bytes.emplace_back(1, byte);
        splits.push_back(bytes);
        for (const auto& reads : splits) {
            Result r = run(reads);
            ASSERT_EQ(r.passed, c.passed) << "first read " << reads[0].size() << " bytes";
            EXPECT_EQ(r.level, c.level);
            EXPECT_EQ(r.outstanding, c.outstanding);
        }
    }
}

// What may still become an answer is held, and nothing else: a key after the start of an
// answer comes out at once, with the held bytes before it.
TEST(Replies, HoldOnlyWhatMayStillBeAnAnswer) {
    ReplyFilter filter;
    filter.outstanding = true;
    std::vector<unsigned char> out(64 + REPLY_MAX);
    auto feed = [&](std::string_view bytes) {
        std::span<const unsigned char> in(reinterpret_cast<const unsigned char*>(bytes.data()),
                                          bytes.size());
        std::size_t n = filter_replies(filter, in, out);
        return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
    };
    EXPECT_EQ(feed("x\x1bP1$r64"), "x");
    EXPECT_EQ(feed(";1\"p\x1b"), "");
    EXPECT_EQ(feed("\\y\x1b"), "y");
    EXPECT_EQ(feed("["), "");
    EXPECT_EQ(feed("C"), "\x1b[C");
    EXPECT_EQ(std::string(filter.level.data()), "64;1");
    filter.outstanding = false;  // answers no longer expected: ESC is not held
    EXPECT_EQ(feed("\x1b"), "\x1b");
}

// After a read, a lone held ESC is let out (it is the ESC key); the start of an answer
// that is longer stays held.
TEST(Replies, ALoneEscHeldAtTheEndOfAReadIsLetOut) {
    ReplyFilter filter;
    filter.outstanding = true;
    std::array<unsigned char, 8 + REPLY_MAX> out{};
    auto feed = [&](std::string_view bytes) {
        std::span<const unsigned char> in(reinterpret_cast<const unsigned char*>(bytes.data()),
                                          bytes.size());
        std::size_t n = filter_replies(filter, in, out);
        n += release_lone_escape(filter, std::span(out).subspan(n));
        return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
    };
    EXPECT_EQ(feed("\x1b\x1b"), "\x1b\x1b");
    EXPECT_EQ(feed("\x1b["), "");
    EXPECT_EQ(feed("?64;1c"), "");
    EXPECT_FALSE(filter.outstanding);
}

}  // namespace
}  // namespace fenk::terminal
