#pragma once
// The whole console tool behind main(), so that a benchmark build can run it with the repair
// journal left out; the installed varim always journals.
namespace cli {

enum class JournalUse {
    Journaled,    // repairs save each block before zeroing it (the only choice of varim)
    Unjournaled,  // repairs zero blocks unsaved: only for measuring what the journal costs
};

// Parses argv, runs the command and returns the process status.
int RunProgram(int argc, char** argv, JournalUse journalUse);

}  // namespace cli
