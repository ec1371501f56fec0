#include "elevation.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>

#include "scan/transfer_batch.h"

namespace qtui {

namespace {

// What the window needs from the user's session: where to draw and in which language.
constexpr std::array<std::string_view, 8> kSessionNames = {
    "DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_CTYPE"};

// pkexec's statuses when it did not run the program: the dialog was dismissed (126), or it could
// not ask at all or the user is not allowed (127).
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

bool IsSessionName(std::string_view name) {
    return std::find(kSessionNames.begin(), kSessionNames.end(), name) != kSessionNames.end();
}

// A language value with a slash names a folder of locale files, which the C library would load
// as root: only plain locale names are passed on.
bool IsSafeSessionValue(std::string_view name, std::string_view value) {
    return !(name.starts_with("LANG") || name.starts_with("LC_")) || value.find('/') == std::string_view::npos;
}

std::string ValueOf(const EnvironmentLookup& lookup, const char* name) {
    const char* value = lookup(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::vector<std::string> PkexecCommand(const std::string& pkexec, const std::string& self,
                                       const std::vector<std::string>& args,
                                       const EnvironmentLookup& lookup) {
    SessionVariables session;
    for (std::string_view name : kSessionNames) {
        std::string value = ValueOf(lookup, std::string(name).c_str());
        if (name == "XAUTHORITY" && value.empty() && !ValueOf(lookup, "DISPLAY").empty()) {
            // X clients fall back to ~/.Xauthority, and root's home is another one.
            const std::string home = ValueOf(lookup, "HOME");
            if (!home.empty()) value = home + "/.Xauthority";
        }
        if (name == "WAYLAND_DISPLAY" && !value.empty() && value.front() != '/') {
            // A socket name is looked up in XDG_RUNTIME_DIR, which root does not share with the user.
            const std::string runtime = ValueOf(lookup, "XDG_RUNTIME_DIR");
            value = runtime.empty() ? std::string() : runtime + "/" + value;
        }
        if (!value.empty() && IsSafeSessionValue(name, value)) session.emplace_back(name, value);
    }
    std::vector<std::string> command{pkexec, self};
    for (const auto& [name, value] : session) {
        command.emplace_back(kSessionOption);
        command.push_back(name + "=" + value);
    }
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

bool TakeSessionVariables(std::vector<std::string>& args, SessionVariables& out, std::string& error) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != kSessionOption) {
            rest.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = std::string(kSessionOption) + " needs NAME=VALUE";
            return false;
        }
        const std::string& pair = args[++i];
        const std::size_t equals = pair.find('=');
        const std::string name = pair.substr(0, equals);
        if (equals == std::string::npos || !IsSessionName(name)) {
            error =
                std::string(kSessionOption) + " takes only the display and language variables, not " + pair;
            return false;
        }
        if (!IsSafeSessionValue(name, std::string_view(pair).substr(equals + 1))) {
            error = std::string(kSessionOption) + " takes a locale name, not a path: " + pair;
            return false;
        }
        out.emplace_back(name, pair.substr(equals + 1));
    }
    args = std::move(rest);
    return true;
}

RepairArguments ParseRepairArguments(const std::vector<std::string>& args, bool asRoot) {
    RepairArguments result;
    auto refuse = [&result](std::string error) {
        result.outcome = RepairArguments::Outcome::Refused;
        result.error = std::move(error);
        return result;
    };
    std::size_t i = 0;
    // The session pairs come first in the form the restart builds, and only root takes them.
    while (asRoot && i < args.size() && args[i] == kSessionOption) {
        std::vector<std::string> pair(args.begin() + static_cast<std::ptrdiff_t>(i),
                                      args.begin() + static_cast<std::ptrdiff_t>(std::min(i + 2, args.size())));
        std::string error;
        if (!TakeSessionVariables(pair, result.session, error)) return refuse(error);
        i += 2;
    }
    bool transferSeen = false;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            result.outcome = RepairArguments::Outcome::Help;
        } else if (arg == "--transfer-mib") {
            if (transferSeen || i + 1 >= args.size() || !scan::ParseTransferMib(args[i + 1], result.transferMib))
                return refuse("--transfer-mib is given once, as a whole number of MiB from 0 to " +
                              std::to_string(scan::kLargestTransferMib));
            transferSeen = true;
            ++i;
        } else {
            return refuse("unknown argument " + arg);
        }
    }
    return result;
}

std::vector<std::string> RootSideArguments(const RepairArguments& request) {
    if (request.transferMib == 0) return {};
    return {"--transfer-mib", std::to_string(request.transferMib)};
}

RestartResult RestartAsRoot(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return {RestartOutcome::NotPossible, 1};
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(kPkexecNotAuthorised);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return {RestartOutcome::NotPossible, 1};
    }
    if (WIFSIGNALED(status)) return {RestartOutcome::Finished, 128 + WTERMSIG(status)};
    const int code = WEXITSTATUS(status);
    if (code == kPkexecDismissed) return {RestartOutcome::Cancelled, code};
    if (code == kPkexecNotAuthorised) return {RestartOutcome::NotPossible, code};
    return {RestartOutcome::Finished, code};
}

std::string FindPkexec(const EnvironmentLookup& lookup) {
    std::string path = ValueOf(lookup, "PATH");
    if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find(':', begin);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(begin, end - begin);
        if (!folder.empty()) {
            const std::string candidate = folder + "/pkexec";
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        begin = end + 1;
    }
    return {};
}

const char* RunAsRootAdvice() {
    return "Run it as root instead, for example:\n"
           "  sudo --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR varim-repair\n"
           "or use the console tool in a terminal: sudo varim drives";
}

}  // namespace qtui
