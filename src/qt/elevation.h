#pragma once
// varim-repair needs root to open the disks. Started by another user, it restarts itself through
// pkexec (the polkit authentication dialog asks for an administrator's password) and hands the
// restarted window only the session variables it needs to appear on the user's display.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qtui {

using EnvironmentLookup = std::function<const char*(const char* name)>;
using SessionVariables = std::vector<std::pair<std::string, std::string>>;

// The option that carries one session variable, NAME=VALUE, into the restarted program.
inline constexpr const char* kSessionOption = "--pass-env";

// The command line that restarts `self` through `pkexec` as root with `args`, preceded by one
// kSessionOption pair for each session variable that is set: display, X authority, Wayland socket
// (made absolute, because root's runtime folder is not the user's) and language.
std::vector<std::string> PkexecCommand(const std::string& pkexec, const std::string& self,
                                       const std::vector<std::string>& args, const EnvironmentLookup& lookup);

// What varim-repair was asked for.
struct RepairArguments {
    enum class Outcome { Run, Help, Refused };
    Outcome outcome = Outcome::Run;
    std::uint32_t transferMib = 0;  // the scan's transfer size (0: one block at a time)
    SessionVariables session;       // root side only: the user's display and language
    std::string error;              // why the arguments were refused
};

// Reads varim-repair's arguments: only its own options, `--transfer-mib M` (once) and `-h`/`--help`.
// The root side (asRoot) also takes the leading kSessionOption pairs that the restart puts first.
// Anything else is refused, so nothing a user typed reaches a root process except these.
RepairArguments ParseRepairArguments(const std::vector<std::string>& args, bool asRoot);

// The arguments the restarted root side gets for what the user side asked (before the session
// pairs PkexecCommand adds): the canonical form of the options, never the words the user typed.
std::vector<std::string> RootSideArguments(const RepairArguments& request);

// Removes the kSessionOption pairs from args into out. False, with a reason, for a pair that is
// malformed or names a variable outside the session set (nothing else may be passed to root).
bool TakeSessionVariables(std::vector<std::string>& args, SessionVariables& out, std::string& error);

// What became of the attempt to restart as root.
enum class RestartOutcome {
    Finished,     // the restarted program ran; exitStatus is its status
    Cancelled,    // the user dismissed the authentication dialog
    NotPossible,  // pkexec is missing, no authentication agent runs, or the user may not
};

struct RestartResult {
    RestartOutcome outcome;
    int exitStatus;
};

// Runs the pkexec command, waits for it and tells what happened.
RestartResult RestartAsRoot(const std::vector<std::string>& command);

// The path of pkexec found on PATH, or empty.
std::string FindPkexec(const EnvironmentLookup& lookup);

// How to start the window as root by hand, for the terminal and for the window.
const char* RunAsRootAdvice();

}  // namespace qtui
