// The restart through pkexec: root gets only the session variables the window needs, in a form
// that works from root's side, and refuses any other variable handed to it; varim-repair takes
// only its own options, on either side.
#include "elevation.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

qtui::EnvironmentLookup LookupIn(const std::map<std::string, std::string>& environment) {
    return [&environment](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
}

TEST(Elevation, PassesOnlyTheSessionVariablesAndRootTakesThemBack) {
    const std::map<std::string, std::string> environment{{"DISPLAY", ":0"},
                                                         {"HOME", "/home/u"},
                                                         {"WAYLAND_DISPLAY", "wayland-0"},
                                                         {"XDG_RUNTIME_DIR", "/run/user/1000"},
                                                         {"LANG", "de_DE.UTF-8"},
                                                         {"LD_PRELOAD", "/tmp/evil.so"},
                                                         {"PATH", "/tmp/evil"}};
    const std::vector<std::string> command = qtui::PkexecCommand("/usr/bin/pkexec", "/usr/bin/varim-repair",
                                                                 {"-platform", "xcb"}, LookupIn(environment));
    const std::vector<std::string> expected{"/usr/bin/pkexec", "/usr/bin/varim-repair",
                                            "--pass-env",      "DISPLAY=:0",
                                            "--pass-env",      "XAUTHORITY=/home/u/.Xauthority",
                                            "--pass-env",      "WAYLAND_DISPLAY=/run/user/1000/wayland-0",
                                            "--pass-env",      "LANG=de_DE.UTF-8",
                                            "-platform",       "xcb"};
    EXPECT_EQ(command, expected);

    std::vector<std::string> args(command.begin() + 2, command.end());
    qtui::SessionVariables session;
    std::string error;
    ASSERT_TRUE(qtui::TakeSessionVariables(args, session, error)) << error;
    EXPECT_EQ(args, (std::vector<std::string>{"-platform", "xcb"}));
    const qtui::SessionVariables expectedSession{{"DISPLAY", ":0"},
                                                 {"XAUTHORITY", "/home/u/.Xauthority"},
                                                 {"WAYLAND_DISPLAY", "/run/user/1000/wayland-0"},
                                                 {"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(session, expectedSession);

    // A set XAUTHORITY is kept; a Wayland name without a runtime folder cannot be found by root.
    const std::map<std::string, std::string> other{
        {"DISPLAY", ":1"}, {"XAUTHORITY", "/run/user/1000/gdm/Xauthority"}, {"WAYLAND_DISPLAY", "wayland-1"}};
    EXPECT_EQ(qtui::PkexecCommand("pkexec", "self", {}, LookupIn(other)),
              (std::vector<std::string>{"pkexec", "self", "--pass-env", "DISPLAY=:1", "--pass-env",
                                        "XAUTHORITY=/run/user/1000/gdm/Xauthority"}));
}

TEST(Elevation, RootRefusesAnyOtherVariableAndMalformedPairs) {
    const std::vector<std::vector<std::string>> refused{
        {"--pass-env", "LD_PRELOAD=/tmp/evil.so"},
        {"--pass-env", "PATH=/tmp/evil"},
        // A locale name with a slash is a folder of locale files that root would load.
        {"--pass-env", "LANG=/tmp/evil"},
        {"--pass-env", "LC_ALL=../../tmp/evil"},
        {"--pass-env", "LANGUAGE=de:/tmp/evil"},
        {"--pass-env", "DISPLAY"},
        {"--pass-env", "DISPLAY=:0", "--pass-env"},
    };
    for (std::vector<std::string> args : refused) {
        qtui::SessionVariables session;
        std::string error;
        EXPECT_FALSE(qtui::TakeSessionVariables(args, session, error)) << args[1];
        EXPECT_FALSE(error.empty());
    }
}

using Outcome = qtui::RepairArguments::Outcome;

TEST(Elevation, OnlyItsOwnOptionsAndOnRootTheRestartsFormArePassed) {
    struct Case {
        std::vector<std::string> args;
        bool asRoot;
        Outcome outcome;
        std::uint32_t transferMib;
    };
    const std::vector<Case> cases{
        {{}, false, Outcome::Run, 0},
        {{"--transfer-mib", "8"}, false, Outcome::Run, 8},
        {{"--help"}, false, Outcome::Help, 0},
        {{"-h", "--transfer-mib", "4"}, true, Outcome::Help, 4},
        {{"--pass-env", "DISPLAY=:0", "--pass-env", "LANG=C", "--transfer-mib", "16"}, true, Outcome::Run, 16},
        // Toolkit options would load code from any folder into a root process.
        {{"-platformpluginpath", "/tmp/evil", "-platform", "evil"}, false, Outcome::Refused, 0},
        {{"-platformpluginpath", "/tmp/evil", "-platform", "evil"}, true, Outcome::Refused, 0},
        {{"--pass-env", "DISPLAY=:0", "-platform", "evil"}, true, Outcome::Refused, 0},
        {{"--transfer-mib", "8", "--pass-env", "DISPLAY=:0"}, true, Outcome::Refused, 0},
        {{"--pass-env", "DISPLAY=:0"}, false, Outcome::Refused, 0},
        {{"--pass-env", "LD_PRELOAD=/tmp/evil.so"}, true, Outcome::Refused, 0},
        {{"--transfer-mib", "8", "--transfer-mib", "8"}, false, Outcome::Refused, 0},
        {{"--transfer-mib", "257"}, false, Outcome::Refused, 0},
        {{"--transfer-mib"}, true, Outcome::Refused, 0},
        {{"--help", "-style", "x"}, false, Outcome::Refused, 0},
        {{"machine.ini"}, false, Outcome::Refused, 0},
    };
    for (const Case& c : cases) {
        std::string shown = c.asRoot ? "root:" : "user:";
        for (const std::string& arg : c.args) shown += " " + arg;
        SCOPED_TRACE(shown);
        const qtui::RepairArguments parsed = qtui::ParseRepairArguments(c.args, c.asRoot);
        EXPECT_EQ(parsed.outcome, c.outcome) << parsed.error;
        EXPECT_EQ(parsed.error.empty(), c.outcome != Outcome::Refused);
        if (c.outcome != Outcome::Refused) {
            EXPECT_EQ(parsed.transferMib, c.transferMib);
        }
    }

    // What the user side hands on is the canonical form, and root accepts exactly that.
    qtui::RepairArguments user = qtui::ParseRepairArguments({"--transfer-mib", "008"}, false);
    const std::vector<std::string> command =
        qtui::PkexecCommand("/usr/bin/pkexec", "/usr/bin/varim-repair", qtui::RootSideArguments(user),
                            [](const char* name) -> const char* { return std::string(name) == "DISPLAY" ? ":0" : nullptr; });
    EXPECT_EQ(command, (std::vector<std::string>{"/usr/bin/pkexec", "/usr/bin/varim-repair", "--pass-env",
                                                 "DISPLAY=:0", "--transfer-mib", "8"}));
    const qtui::RepairArguments root =
        qtui::ParseRepairArguments(std::vector<std::string>(command.begin() + 2, command.end()), true);
    EXPECT_EQ(root.outcome, Outcome::Run) << root.error;
    EXPECT_EQ(root.transferMib, 8u);
    EXPECT_EQ(root.session, (qtui::SessionVariables{{"DISPLAY", ":0"}}));
}

struct Finished {
    int status = -1;
    std::string err;
};

// Runs the program (as uid/gid when given, with no pkexec on its PATH) and waits, at most 30 s.
Finished RunRepairWindow(const std::vector<std::string>& args, std::optional<uid_t> uid) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::close(pipeFds[0]);
        if (uid && (::setgid(*uid) != 0 || ::setuid(*uid) != 0)) ::_exit(99);
        ::setenv("PATH", "/nonexistent", 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::alarm(30);  // a window that opened instead would otherwise wait for ever
        std::vector<char*> argv{const_cast<char*>(VARIM_REPAIR_BINARY)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(98);
    }
    ::close(pipeFds[1]);
    Finished result;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], chunk, sizeof chunk)) > 0) result.err.append(chunk, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TEST(Elevation, TheProgramRefusesToolkitOptionsBeforeAskingForRightsAsRootAndAsAUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run the program as root and as another user";
    const std::vector<std::string> evil{"-platformpluginpath", "/nonexistent/plugins", "-platform", "evil"};
    for (const std::optional<uid_t> uid : {std::optional<uid_t>(), std::optional<uid_t>(65534)}) {
        SCOPED_TRACE(uid ? "as a user" : "as root");
        const Finished run = RunRepairWindow(evil, uid);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("unknown argument -platformpluginpath"), std::string::npos) << run.err;
        // The refusal comes before the program says it needs rights and looks for pkexec.
        EXPECT_EQ(run.err.find("needs administrator rights"), std::string::npos) << run.err;
    }
}

}  // namespace
