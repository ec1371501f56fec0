// varim: the console twin of the window. The same enumeration, probe, catalogue, scan engine,
// session file and speed test, on the real drives, on explicit devices or image files, or on
// a simulated machine.
#include "cli/program.h"

int main(int argc, char** argv) { return cli::RunProgram(argc, argv, cli::JournalUse::Journaled); }
