#pragma once
// Runs the console tool as a user would: arguments, captured stdout and stderr, exit status,
// and optionally a signal sent after a delay.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace clitest {

struct ProcessResult {
    int status = -1;  // exit status, or 128 + signal when killed
    std::string out;
    std::string err;
};

struct SignalPlan {
    int signal = 0;
    std::chrono::milliseconds after{0};
    // Send the signal only once stderr contains this text (empty: after the delay alone).
    std::string whenStderrHas;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         std::optional<SignalPlan> signal = std::nullopt);

}  // namespace clitest
