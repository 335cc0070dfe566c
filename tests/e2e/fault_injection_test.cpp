// Faults from outside: files that cannot be loaded or saved, a full device, a file size
// limit, too little memory, signals at awkward moments, the quit character at every prompt,
// and the end of input (a lost terminal) wherever the editor reads. After each the editor
// must answer, keep the image and its unsaved state, and go on or end in order.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <tuple>

#include "editor_session.h"

namespace fenk_test {
namespace {

constexpr char BELL = '\x07';

// A file of `size` bytes that spells its own offsets in a cycle, so a shifted or lost byte
// shows.
std::string counting_bytes(std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>('A' + i % 26);
    return bytes;
}

// Starts the editor in `dir` on f.bin holding `bytes`, named relative to the directory.
Session start_in(const TempDir& dir, std::string_view bytes) {
    dir.write_file("f.bin", bytes);
    SessionOptions options;
    options.working_dir = dir.path();
    Session s = Session::fenk({"f.bin"}, options);
    EXPECT_TRUE(
        wait_message(s, "Image loaded, filesize= " + std::to_string(bytes.size()) + " bytes"));
    return s;
}

// Waits for the prompt in the message field and the cursor at its answer place.
testing::AssertionResult wait_prompt(Session& s, std::string_view text, std::pair<int, int> at) {
    return s.wait_until([&] { return message_text(s) == text && s.cursor() == at; });
}

// S, then the name (empty: Return alone) once the prompt is up; waits for "File saved".
testing::AssertionResult save_as(Session& s, std::string_view name = "") {
    s.send("S");
    auto shown = s.wait_until([&] {
        return message_text(s).rfind("Enter save-file, return for ", 0) == 0 &&
               s.cursor() == std::pair{17, 14};
    });
    if (!shown) return shown;
    s.send(std::string(name) + "\r");
    return wait_message(s, "File saved");
}

// ---- Loads that must be refused, leaving the loaded image as it was ----

struct LoadFault {
    const char* name;
    // Makes the thing to load in `dir`; returns its path.
    std::string (*make)(const TempDir& dir);
    // The message, given the path.
    std::string (*message)(const std::string& path);
};

std::string not_regular(const std::string& path) {
    return "Cannot open file " + path + ": not a regular file";
}

const LoadFault LOAD_FAULTS[] = {
    {"Directory",
     [](const TempDir& dir) {
         std::string path = dir.file("sub");
         EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
         return path;
     },
     not_regular},
    {"Fifo",
     [](const TempDir& dir) {
         std::string path = dir.file("fifo");
         EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
         return path;
     },
     not_regular},
    {"DevZero", [](const TempDir&) { return std::string("/dev/zero"); }, not_regular},
    {"SparseThreeGiB",
     [](const TempDir& dir) {
         std::string path = dir.write_file("huge", "");
         EXPECT_EQ(truncate(path.c_str(), off_t{3} << 30), 0);
         return path;
     },
     [](const std::string& path) {
         return "File " + path + " is too large (2147483519 bytes at most)";
     }},
    {"Missing", [](const TempDir& dir) { return dir.file("missing"); },
     [](const std::string& path) { return "Cannot open file " + path; }},
};

void PrintTo(const LoadFault& fault, std::ostream* os) { *os << fault.name; }

class LoadFaults : public testing::TestWithParam<LoadFault> {};

TEST_P(LoadFaults, AreRefusedWithABellAndTheEditedImageStays) {
    TempDir dir;
    Session s = start_in(dir, counting_bytes(300));
    ASSERT_TRUE(hex_edit_here(s));
    std::string path = GetParam().make(dir);
    // Names inside the directory are typed relative to it, so that every message fits.
    if (path.rfind(dir.path() + "/", 0) == 0) path = path.substr(dir.path().size() + 1);
    s.send("L");
    ASSERT_TRUE(wait_prompt(s, "File modified, Ok to load?", {19, 41}));
    s.send("y");
    ASSERT_TRUE(wait_prompt(s, "Enter complete path to file", {17, 14}));
    std::size_t mark = s.transcript_size();
    s.send(path + "\r");
    ASSERT_TRUE(wait_message(s, GetParam().message(path)));
    EXPECT_TRUE(s.transcript_contains(std::string(1, BELL), mark));
    EXPECT_TRUE(s.wait_for_text(17, 14, "f.bin   "));
    EXPECT_EQ(s.text(3, 4, 2), "7A");
    ASSERT_TRUE(still_modified(s));
    ASSERT_TRUE(save_as(s));
    EXPECT_EQ(read_file(dir.file("f.bin")), "z" + counting_bytes(300).substr(1));
    s.send("q");
    EXPECT_TRUE(s.wait_exit_status(0));
}

INSTANTIATE_TEST_SUITE_P(Kinds, LoadFaults, testing::ValuesIn(LOAD_FAULTS),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(LoadFault, ImageLargerThanTheAddressSpaceAllowsIsRefusedAndTheOldImageStays) {
#ifdef FENK_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve more address space than any limit would leave";
#else
    TempDir dir;
    std::string big = dir.write_file("big", "");
    ASSERT_EQ(truncate(big.c_str(), off_t{512} << 20), 0);
    dir.write_file("f.bin", "abc");
    SessionOptions options;
    options.address_space_limit = rlim_t{256} << 20;
    Session s = Session::fenk({dir.file("f.bin")}, options);
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 3 bytes"));
    s.send("L");
    ASSERT_TRUE(wait_prompt(s, "Enter complete path to file", {17, 14}));
    s.send(big + "\r");
    ASSERT_TRUE(wait_message(s, "Not enough memory to load " + big));
    EXPECT_EQ(s.text(3, 4, 6), "616263");
    EXPECT_EQ(s.text(16, 53, 11), "Offset: 0/3");
    s.send("q");
    EXPECT_TRUE(s.wait_exit_status(0));
#endif
}

// ---- Saves that fail: a bell, the reason, and the edits still unsaved ----

TEST(SaveFault, DevFullIsRefusedAsNotARegularFile) {
    TempDir dir;
    Session s = start_editor(dir, "abc");
    ASSERT_TRUE(hex_edit_here(s));
    s.send("S");
    ASSERT_TRUE(wait_prompt(s, "Enter save-file, return for " + dir.file("f.bin"), {17, 14}));
    std::size_t mark = s.transcript_size();
    s.send("/dev/full\r");
    ASSERT_TRUE(wait_message(s, "Cannot open file /dev/full for writing: not a regular file"));
    EXPECT_TRUE(s.transcript_contains(std::string(1, BELL), mark));
    ASSERT_TRUE(still_modified(s));
    // The name is unchanged: Return alone saves the image where it came from.
    ASSERT_TRUE(save_as(s));
    EXPECT_EQ(read_file(dir.file("f.bin")), "zbc");
}

TEST(SaveFault, MissingDirectoryIsRefused) {
    TempDir dir;
    Session s = start_in(dir, "abc");
    ASSERT_TRUE(hex_edit_here(s));
    std::string path = "no/such/dir.bin";
    s.send("S");
    ASSERT_TRUE(wait_prompt(s, "Enter save-file, return for f.bin", {17, 14}));
    std::size_t mark = s.transcript_size();
    s.send(path + "\r");
    ASSERT_TRUE(wait_message(s, "Cannot open file " + path + " for writing"));
    EXPECT_TRUE(s.transcript_contains(std::string(1, BELL), mark));
    ASSERT_TRUE(still_modified(s));
    EXPECT_EQ(read_file(dir.file("f.bin")), "abc");
}

// The write itself fails part-way (EFBIG): the failure is reported, not "File saved", the
// file keeps at least its length and the name does not change.
TEST(SaveFault, FileSizeLimitMakesTheWriteFailAndNothingIsClaimed) {
    TempDir dir;
    const std::string original = counting_bytes(1000);
    std::string path = dir.write_file("f.bin", original);
    SessionOptions options;
    options.file_size_limit = 100;
    Session s = Session::fenk({path}, options);
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 1000 bytes"));
    ASSERT_TRUE(hex_edit_here(s));
    for (std::string name : {std::string(""), dir.file("new.bin")}) {
        std::string target = name.empty() ? path : name;
        std::size_t mark = s.transcript_size();
        s.send("S");
        ASSERT_TRUE(wait_prompt(s, "Enter save-file, return for " + path, {17, 14}));
        s.send(name + "\r");
        ASSERT_TRUE(wait_message(s, "Cannot save file " + target + ": File too large"));
        EXPECT_TRUE(s.transcript_contains(std::string(1, BELL), mark));
    }
    ASSERT_TRUE(still_modified(s));
    EXPECT_EQ(read_file(path).size(), original.size());

    // Once the limit is lifted, the next save writes everything, in place or to a new name.
    rlimit limit{};
    ASSERT_EQ(prlimit(s.pid(), RLIMIT_FSIZE, nullptr, &limit), 0) << std::strerror(errno);
    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(prlimit(s.pid(), RLIMIT_FSIZE, &limit, nullptr), 0) << std::strerror(errno);
    const std::string edited = "z" + original.substr(1);
    ASSERT_TRUE(save_as(s));
    EXPECT_EQ(read_file(path), edited);
    ASSERT_TRUE(save_as(s, dir.file("new.bin")));
    EXPECT_EQ(read_file(dir.file("new.bin")), edited);
}

// ---- Signals at random moments while the editor reads ----

// Where the signals come, and how the action is then finished; each ends with a message
// and a known image.
struct SignalPlace {
    const char* name;
    const char* start;  // keys that open the place
    const char* ready;  // the message (prompt) shown there, or "" for the chart
    std::pair<int, int> cursor;
    const char* answer;                 // typed in pieces, with signals between them
    const char* result;                 // the message at the end
    std::string (*image)(std::string);  // the image afterwards
    // For a prompt: its text, shown again, empty, after the repaint of a continue
    // signal, which also drops what was typed of the answer; null elsewhere.
    const char* reshown;
};

std::string same(std::string bytes) { return bytes; }

const SignalPlace SIGNAL_PLACES[] = {
    {"GotoPrompt",
     "G",
     "Enter sector to goto:",
     {19, 36},
     "3\r",
     "At requested sector",
     same,
     "Enter sector to goto:"},
    {"JumpPrompt",
     "J",
     "Enter byte to jump to:",
     {19, 37},
     "500\r",
     "At sector of requested byte",
     same,
     "Enter byte to jump to:"},
    {"SearchPrompt",
     ">",
     "Enter string to locate ($num for hex):",
     {19, 53},
     "$4c4D\r",
     "String found",
     same,
     "Enter string to locate ($num for hex):"},
    {"HexEdit",
     "H",
     "HEX editing mode.  ESC twice returns to command mode",
     {3, 4},
     "4142\x1b[B43\x1b\x1b",
     "Returning to command mode",
     [](std::string b) { return b.replace(0, 2, "AB").replace(22, 1, "C"); },
     nullptr},
    {"TextEdit",
     "A",
     "ASC editing mode.  ESC twice returns to command mode",
     {3, 55},
     "xy\x1b[Dz\x1b\x1b",
     "Returning to command mode",
     [](std::string b) { return b.replace(0, 2, "xz"); },
     nullptr},
    {"Chart", "T", "", {24, 24}, "x ", "Waiting for command", same, nullptr},
    {"SavePrompt",
     "S",
     "",
     {17, 14},
     "copy.bin\r",
     "File saved",
     same,
     "Enter save-file, return for f.bin"},
};

void PrintTo(const SignalPlace& place, std::ostream* os) { *os << place.name; }

class SignalsAtRandomMoments : public testing::TestWithParam<SignalPlace> {};

TEST_P(SignalsAtRandomMoments, ChangeNothingAndTheActionCompletes) {
    const SignalPlace& place = GetParam();
    const int signals[] = {SIGINT, SIGHUP, SIGTSTP, SIGQUIT, SIGCONT, SIGSTOP};
    const std::string original = counting_bytes(1000);
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TempDir dir;
        SessionOptions options;
        options.working_dir = dir.path();
        dir.write_file("f.bin", original);
        Session s = Session::fenk({"f.bin"}, options);
        ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 1000 bytes"));
        s.send(place.start);
        if (*place.ready != '\0') {
            ASSERT_TRUE(wait_prompt(s, place.ready, place.cursor));
        } else if (place.cursor.first == 24) {
            ASSERT_TRUE(s.wait_for_row(24, "  Hit space to continue"));
        } else {
            ASSERT_TRUE(s.wait_until([&] { return s.cursor() == place.cursor; }));
        }
        // Every signal once, in a random order, between random pieces of the answer.
        std::vector<int> order(std::begin(signals), std::end(signals));
        std::shuffle(order.begin(), order.end(), rng);
        std::string answer = place.answer;
        std::size_t typed = 0;
        for (int sig : order) {
            std::size_t piece =
                std::uniform_int_distribution<std::size_t>(0, (answer.size() - typed) / 2)(rng);
            s.send(answer.substr(typed, piece));
            typed += piece;
            const std::size_t mark = s.transcript_size();
            s.signal(sig);
            if (sig == SIGSTOP) s.signal(SIGCONT);
            if (place.reshown && (sig == SIGCONT || sig == SIGSTOP)) {
                ASSERT_TRUE(s.wait_until([&] {
                    return s.transcript_contains("\x1b[H\x1b[2J", mark) &&
                           message_text(s) == place.reshown && s.cursor() == place.cursor;
                }));
                typed = 0;  // the answer starts afresh
            }
            s.pump(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 3)(rng)));
        }
        // A continue signal still pending would repaint over the result: let them all land.
        ASSERT_TRUE(s.wait_quiet());
        s.send(answer.substr(typed));
        ASSERT_TRUE(wait_message(s, place.result));
        ASSERT_TRUE(s.running());
        ASSERT_TRUE(save_as(s));
        s.send("q");
        ASSERT_TRUE(s.wait_exit_status(0));
        std::string expected = place.image(original);
        EXPECT_EQ(read_file(dir.file("f.bin")), expected);
        if (std::string(place.name) == "SavePrompt") {
            EXPECT_EQ(read_file(dir.file("copy.bin")), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Places, SignalsAtRandomMoments, testing::ValuesIn(SIGNAL_PLACES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// ---- The quit character typed at every prompt ----

struct QuitPlace {
    const char* name;
    const char* start;
    const char* prompt;
    std::pair<int, int> cursor;
    const char* answer;
    const char* result;
    bool keeps_edit;  // false where the answer saves or reloads the image
};

const QuitPlace QUIT_PLACES[] = {
    {"Goto", "G", "Enter sector to goto:", {19, 36}, "2\r", "At requested sector", true},
    {"Jump", "J", "Enter byte to jump to:", {19, 37}, "250\r", "At sector of requested byte", true},
    {"Forward",
     ">",
     "Enter string to locate ($num for hex):",
     {19, 53},
     "KL\r",
     "String found",
     true},
    {"Backward",
     "<",
     "Enter string to locate ($num for hex):",
     {19, 53},
     "AB\r",
     "String not found",
     true},
    {"Load",
     "Ly",  // y answers the question about the unsaved edit
     "Enter complete path to file",
     {17, 14},
     "f.bin\r",
     "Image loaded, filesize= 300 bytes",
     false},
    {"Save", "S", "", {17, 14}, "copy.bin\r", "File saved", false},
};

void PrintTo(const QuitPlace& place, std::ostream* os) { *os << place.name; }

class QuitCharacter : public testing::TestWithParam<QuitPlace> {};

// The driver turns Ctrl-\ into the quit signal at a prompt; it must not end the editor.
TEST_P(QuitCharacter, AtAPromptIsHarmlessAndThePromptStillCompletes) {
    const QuitPlace& place = GetParam();
    TempDir dir;
    SessionOptions options;
    options.working_dir = dir.path();
    dir.write_file("f.bin", counting_bytes(300));
    Session s = Session::fenk({"f.bin"}, options);
    ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 300 bytes"));
    ASSERT_TRUE(hex_edit_here(s));
    s.send(place.start);
    if (*place.prompt != '\0') {
        ASSERT_TRUE(wait_prompt(s, place.prompt, place.cursor));
    } else {
        ASSERT_TRUE(s.wait_until([&] { return s.cursor() == place.cursor; }));
    }
    std::size_t mark = s.transcript_size();
    s.send("\x1c");
    // The driver echoes ^\ once it has raised the signal and dropped the pending input.
    ASSERT_TRUE(s.wait_until([&] { return s.transcript_contains("^\\", mark); }));
    ASSERT_TRUE(s.running());
    s.send(place.answer);
    ASSERT_TRUE(wait_message(s, place.result));
    if (place.keeps_edit) {
        ASSERT_TRUE(still_modified(s));
    }
    s.send("q");
    if (place.keeps_edit) {
        ASSERT_TRUE(wait_prompt(s, "File modified, Ok to exit?", {19, 41}));
        s.send("y");
    }
    EXPECT_TRUE(s.wait_exit_status(0));
}

INSTANTIATE_TEST_SUITE_P(Prompts, QuitCharacter, testing::ValuesIn(QUIT_PLACES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// ---- End of input (a lost terminal) wherever the editor reads ----

struct ReadPlace {
    const char* name;
    const char* keys;   // typed after an edit, to get there
    const char* shown;  // what shows that the editor reads there (message, or row 24 text)
};

const ReadPlace READ_PLACES[] = {
    {"CommandLoop", "", "Returning to command mode"},
    {"GotoPrompt", "G", "Enter sector to goto:"},
    {"JumpPrompt", "J", "Enter byte to jump to:"},
    {"ForwardPrompt", ">", "Enter string to locate ($num for hex):"},
    {"BackwardPrompt", "<", "Enter string to locate ($num for hex):"},
    {"LoadQuestion", "L", "File modified, Ok to load?"},
    {"LoadPrompt", "Ly", "Enter complete path to file"},
    {"SavePrompt", "S", ""},
    {"ExitQuestion", "q", "File modified, Ok to exit?"},
    {"Chart", "T", "  Hit space to continue"},
    {"HexEdit", "H", "HEX editing mode.  ESC twice returns to command mode"},
    {"TextEdit", "A", "ASC editing mode.  ESC twice returns to command mode"},
    {"AfterEscape", "H\x1b", "HEX editing mode.  ESC twice returns to command mode"},
};

void PrintTo(const ReadPlace& place, std::ostream* os) { *os << place.name; }

class LostTerminal : public testing::TestWithParam<ReadPlace> {};

// The terminal goes away with unsaved edits: the image is written to "<name>.save", the
// original stays untouched, and the editor ends in order (no spin: it exits within the wait).
TEST_P(LostTerminal, WritesTheEmergencyCopyAndEnds) {
    const ReadPlace& place = GetParam();
    TempDir dir;
    const std::string original = counting_bytes(500);
    Session s = start_editor(dir, original);
    ASSERT_TRUE(hex_edit_here(s, "41"));
    s.send(place.keys);
    std::string shown = place.shown;
    if (shown.rfind("  Hit", 0) == 0) {
        ASSERT_TRUE(s.wait_for_row(24, shown));
    } else if (!shown.empty()) {
        ASSERT_TRUE(s.wait_until([&] { return message_text(s) == shown; }));
    } else {
        ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{17, 14}; }));
    }
    s.hang_up();
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(read_file(dir.file("f.bin.save")), "A" + original.substr(1));
    EXPECT_EQ(read_file(dir.file("f.bin")), original);
}

INSTANTIATE_TEST_SUITE_P(Places, LostTerminal, testing::ValuesIn(READ_PLACES),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(LostTerminalCopy, NeverOverwritesAnEarlierCopy) {
    TempDir dir;
    const std::string original = counting_bytes(50);
    for (std::string digits : {"42", "43"}) {
        Session s = start_editor(dir, original);
        ASSERT_TRUE(hex_edit_here(s, digits));
        s.hang_up();
        ASSERT_TRUE(s.wait_exit_status(0));
    }
    EXPECT_EQ(read_file(dir.file("f.bin.save")), "B" + original.substr(1));
    EXPECT_EQ(read_file(dir.file("f.bin.save.1")), "C" + original.substr(1));
    EXPECT_EQ(read_file(dir.file("f.bin")), original);
}

// The copy holds the file's bytes, so it may be read by nobody who may not read the file.
TEST(LostTerminalCopy, IsNoMoreWidelyReadableThanTheFile) {
    for (mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0644}}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        const std::string path = dir.write_file("f.bin", "abc");
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        Session s = Session::fenk({path});
        ASSERT_TRUE(wait_message(s, "Image loaded, filesize= 3 bytes"));
        ASSERT_TRUE(hex_edit_here(s));
        s.hang_up();
        ASSERT_TRUE(s.wait_exit_status(0));
        struct stat status {};
        ASSERT_EQ(stat(dir.file("f.bin.save").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode);
        EXPECT_EQ(read_file(dir.file("f.bin.save")), "zbc");
    }
}

// U reverts the latest editing pass alone: the edits of an earlier pass stay in the image,
// and so stay unsaved.
TEST(LostTerminalCopy, HoldsTheEarlierPassThatUndoKept) {
    TempDir dir;
    const std::string original = counting_bytes(500);
    Session s = start_in(dir, original);
    const std::string ascii_mode = "ASC editing mode.  ESC twice returns to command mode";
    s.send("a");
    ASSERT_TRUE(wait_prompt(s, ascii_mode, {3, 55}));
    s.send("xy\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
    s.send("j");
    ASSERT_TRUE(wait_prompt(s, "Enter byte to jump to:", {19, 37}));
    s.send("10\r");
    ASSERT_TRUE(wait_message(s, "At sector of requested byte"));
    s.send("a");
    ASSERT_TRUE(wait_prompt(s, ascii_mode, {3, 65}));
    s.send("QQ\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
    s.send("u");
    ASSERT_TRUE(wait_message(s, "Undo!"));
    const std::string kept = "xy" + original.substr(2);
    EXPECT_EQ(s.text(3, 55, 20), kept.substr(0, 20));
    ASSERT_TRUE(still_modified(s));
    s.hang_up();
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_EQ(read_file(dir.file("f.bin.save")), kept);
    EXPECT_EQ(read_file(dir.file("f.bin")), original);
}

TEST(LostTerminalCopy, NoCopyWithoutUnsavedEdits) {
    TempDir dir;
    Session s = start_editor(dir, "abc");
    ASSERT_TRUE(hex_edit_here(s));
    ASSERT_TRUE(save_as(s));
    s.hang_up();
    ASSERT_TRUE(s.wait_exit_status(0));
    EXPECT_NE(access(dir.file("f.bin.save").c_str(), F_OK), 0);
    EXPECT_EQ(read_file(dir.file("f.bin")), "zbc");
}

// ---- Terminating signals wherever the editor waits, and during a save ----

struct EndingSignal {
    int number;
    const char* name;
};

const EndingSignal ENDING_SIGNALS[] = {
    {SIGTERM, "SIGTERM"},     {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"}, {SIGALRM, "SIGALRM"},
    {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGXCPU, "SIGXCPU"}, {SIGPIPE, "SIGPIPE"},
};

struct EndingPlace {
    const char* name;
    const char* keys;   // typed after an edit, to get there
    const char* shown;  // the message once the editor waits there; null for the save
};

const EndingPlace ENDING_PLACES[] = {
    {"CommandLoop", "", "Returning to command mode"},
    {"Prompt", "G", "Enter sector to goto:"},
    {"EditMode", "H", "HEX editing mode.  ESC twice returns to command mode"},
    {"LongSave", "S", nullptr},
};

class EndingSignals : public testing::TestWithParam<std::tuple<EndingSignal, EndingPlace>> {};

// The signal ends the editor as a lost terminal does: unsaved edits in the emergency copy,
// the screen cleared and the modes restored, then one line on standard error; and the process
// ends by that same signal. A save under way completes first, so nothing is left unsaved.
TEST_P(EndingSignals, KeepTheEditsRestoreTheTerminalAndEndByTheSignal) {
    const auto& [sig, place] = GetParam();
    const bool save = place.shown == nullptr;
    TempDir dir;
    // The save is long enough (64 MiB) for the signal to come while it runs.
    const std::string original =
        save ? std::string(std::size_t{64} << 20, 'z') : counting_bytes(500);
    Session s = start_in(dir, original);
    ASSERT_TRUE(hex_edit_here(s, "41"));
    const std::string edited = "A" + original.substr(1);
    s.send(place.keys);
    if (save) {
        ASSERT_TRUE(wait_prompt(s, "Enter save-file, return for f.bin", {17, 14}));
        s.send("\r");
        ASSERT_TRUE(s.wait_for_text(19, 14, "SAVING"));
    } else {
        ASSERT_TRUE(s.wait_until([&] { return message_text(s) == place.shown; }));
    }
    const std::size_t mark = s.transcript_size();
    s.signal(sig.number);
    ASSERT_TRUE(s.wait_exit_status(128 + sig.number));
    const std::string line = std::string("fenk: ") + sig.name + " received; " +
                             (save ? "nothing was unsaved" : "unsaved edits written to f.bin.save");
    const std::string after = s.transcript().substr(mark);
    EXPECT_LT(after.find("\x1b[H\x1b[2J"), after.find(line)) << s.dump();
    EXPECT_TRUE(after.ends_with(line + "\r\n")) << s.dump();
    const termios modes = s.child_termios();
    EXPECT_EQ(modes.c_lflag & (ECHO | ICANON), tcflag_t{ECHO | ICANON});
    EXPECT_EQ(modes.c_iflag & ICRNL, tcflag_t{ICRNL});
    if (save) {
        EXPECT_TRUE(read_file(dir.file("f.bin")) == edited) << "the save completed";
        EXPECT_NE(access(dir.file("f.bin.save").c_str(), F_OK), 0);
    } else {
        EXPECT_EQ(read_file(dir.file("f.bin.save")), edited);
        EXPECT_EQ(read_file(dir.file("f.bin")), original);
    }
}

INSTANTIATE_TEST_SUITE_P(All, EndingSignals,
                         testing::Combine(testing::ValuesIn(ENDING_SIGNALS),
                                          testing::ValuesIn(ENDING_PLACES)),
                         [](const auto& param_info) {
                             return std::string(std::get<0>(param_info.param).name) + "_" +
                                    std::get<1>(param_info.param).name;
                         });

// Keys that arrive while the screen is being redrawn are keys like any other: none is
// echoed, edited away or turned into flow control by the driver on the way.
TEST(TypeAhead, DuringRepaintsReachesTheEditModeUnchanged) {
    TempDir dir;
    const std::string original(2400, '.');
    Session s = start_editor(dir, original);
    s.send("a");
    ASSERT_TRUE(s.wait_until([&] { return s.cursor() == std::pair{3, 55}; }));
    // Ctrl-L, then keys the driver would act on in line mode: stop output, erase, kill line.
    const std::string typed = "\x13\x7f\x15\r";
    // Each time the screen starts to clear, the keys follow at once, while the frame is drawn.
    for (int i = 0; i < 150; ++i) {
        std::size_t mark = s.transcript_size();
        s.send("\x0c");
        ASSERT_TRUE(s.wait_until([&] { return s.transcript_contains("\x1b[2J", mark); }));
        s.send(typed);
    }
    s.send("\x1b\x1b");
    ASSERT_TRUE(wait_message(s, "Returning to command mode"));
    ASSERT_TRUE(save_as(s));
    std::string expected = original;
    for (std::size_t i = 0; i < 150; ++i) expected.replace(4 * i, 4, typed);
    EXPECT_EQ(read_file(dir.file("f.bin")), expected);
}

}  // namespace
}  // namespace fenk_test
