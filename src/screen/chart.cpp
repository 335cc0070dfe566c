// The character chart: 22 rows of up to six groups (character or control name, decimal,
// hex), code r + 22 * g in group g of row r. It writes from row 1 column 1 with
// newlines only and fills exactly 24 rows so that nothing scrolls.
#include "screen/chart.h"

#include <cstdio>

#include "control/keys.h"
#include "screen/frame.h"
#include "screen/primitives.h"
#include "screen/terminal.h"

namespace fenk::screen {
namespace {

constexpr int CHART_ROWS = 22;
constexpr int LAST_CODE = 127;

constexpr const char* CONTROL_NAMES[33] = {
    "nul", "soh", "stx", "etx", "eot", "enq", "ack", "bel", "bs",  "ht",  "nl",
    "vt",  "np",  "cr",  "so",  "si",  "dle", "dc1", "dc2", "dc3", "dc4", "nak",
    "syn", "etb", "can", "em",  "sub", "esc", "fs",  "gs",  "rs",  "us",  "sp"};

void print_group(int code) {
    if (code <= 32 || code == LAST_CODE) {
        print("%-3s", code == LAST_CODE ? "del" : CONTROL_NAMES[code]);
    } else {
        print(" %c ", code);
    }
    print(" %03d %02X", code, code);
}

void print_chart_row(int row) {
    terminal::out("  ");
    int groups = 0;
    for (int code = row; code <= LAST_CODE; code += CHART_ROWS) {
        if (groups > 0) terminal::out(" | ");
        print_group(code);
        ++groups;
    }
    terminal::out(groups == 6 ? "  \n" : " |\n");
}

// Drawn in key mode, like the frame: keys typed meanwhile are not echoed over the chart.
void draw_chart() {
    terminal::key_mode();
    clear_screen();
    terminal::out("  ");
    set_reverse();
    terminal::out("CHR DEC HX   CHR DEC HX   CHR DEC HX   CHR DEC HX   CHR DEC HX   CHR DEC HX");
    set_normal();
    terminal::out("  \n");
    for (int row = 0; row < CHART_ROWS; ++row) print_chart_row(row);
    terminal::out("  Hit space to continue");
    terminal::key_mode();
}

}  // namespace

// A repaint for a continue or window-size signal shows the chart again, since it still
// waits for the space. Whole keys are read, so that no byte of a sequence can pass for
// the space.
void show_char_table() {
    draw_chart();
    after_repaint = draw_chart;
    KeyRecord key;
    do {
        read_key(key);
    } while (key.first != ' ');
    after_repaint = nullptr;
    redraw_screen();
    show_message("Waiting for command");
}

}  // namespace fenk::screen
