// varim without its repair journal: regenerate scans zero blocks that nothing saved first. For
// measuring the journal's cost only.
#include "cli/program.h"

int main(int argc, char** argv) { return cli::RunProgram(argc, argv, cli::JournalUse::Unjournaled); }
