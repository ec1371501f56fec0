#pragma once
// The console tool's command line: global options, one command and its arguments.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { None, Drives, Smart, Catalogue, Scan, Speed, Metrics, Recover, SelfTest, Log };

struct Options {
    std::optional<std::string> machineFile;  // --machine FILE
    std::vector<std::string> devices;        // --device PATH (repeatable)
    bool demo = false;                       // --demo: the built-in demo machine
    bool json = false;
    Command command = Command::None;
    int drive = -1;  // N of smart/scan/speed
    // scan
    std::optional<std::string> start;  // field texts, parsed by the Scan command itself
    std::optional<std::string> end;
    std::optional<std::string> mode;  // "standard" | "regenerate"
    std::optional<std::string> resumeFile;
    std::optional<std::string> sessionFile;
    std::optional<std::uint32_t> transferMib;  // --transfer-mib M
    // recover
    std::optional<int> toDrive;  // --to-drive N: where entries of unrecognisable drives go
    std::optional<std::string> mapFile;        // --map FILE.svg
    // metrics
    std::optional<std::string> outputFile;  // --output FILE
    // selftest
    std::string selfTest;  // "short" | "extended" | "conveyance" | "abort"
    bool wait = false;     // --wait: follow the test to its end
};

// Parses argv; on bad usage returns nothing and sets error to a one-line reason.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The usage text printed with exit status 2.
const char* UsageText();

}  // namespace cli
