// fenk [FILE]: a full-screen editor for the raw bytes of one file.
#include "control/startup.h"

int main(int argc, char** argv) { fenk::start_up(argc, argv); }
