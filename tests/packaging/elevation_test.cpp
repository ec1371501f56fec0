// The restart through pkexec: root gets only the session variables the window needs, in a form
// that works from root's side, and refuses any other variable handed to it.
#include "elevation.h"

#include <gtest/gtest.h>

#include <map>
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

}  // namespace
