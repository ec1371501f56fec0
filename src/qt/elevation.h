#pragma once
// varim-repair needs root to open the disks. Started by another user, it restarts itself through
// pkexec (the polkit authentication dialog asks for an administrator's password) and hands the
// restarted window only the session variables it needs to appear on the user's display.
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
