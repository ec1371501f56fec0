#include "cli/options.h"

#include <charconv>

#include "scan/transfer_batch.h"

namespace cli {
namespace {

bool ParseDriveNumber(const std::string& text, int& drive) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [ptr, ec] = std::from_chars(first, last, drive);
    return ec == std::errc() && ptr == last && drive >= 0 && drive <= 49;
}

std::optional<Command> CommandNamed(const std::string& word) {
    if (word == "drives") return Command::Drives;
    if (word == "smart") return Command::Smart;
    if (word == "catalogue") return Command::Catalogue;
    if (word == "scan") return Command::Scan;
    if (word == "speed") return Command::Speed;
    if (word == "metrics") return Command::Metrics;
    if (word == "recover") return Command::Recover;
    if (word == "selftest") return Command::SelfTest;
    if (word == "log") return Command::Log;
    return std::nullopt;
}

bool TakesDrive(Command c) {
    return c == Command::Smart || c == Command::Scan || c == Command::Speed || c == Command::SelfTest ||
           c == Command::Log;
}

}  // namespace

const char* UsageText() {
    return "usage: varim [--machine FILE | --device PATH... | --demo] [--json] COMMAND [ARGS]\n"
           "commands:\n"
           "  drives                 list the drives that open\n"
           "  smart N                drive N's identity, S.M.A.R.T. attributes and indicators\n"
           "  catalogue              every attribute id with its name and description\n"
           "  scan N [--start S] [--end E] [--mode standard|regenerate] [--resume FILE] [--session FILE]\n"
           "         [--transfer-mib M] [--map FILE.svg]\n"
           "                         scan and repair drive N (Ctrl+C stops and saves to --session FILE);\n"
           "                         --transfer-mib M (0-256, default 0) transfers up to M MiB at a time;\n"
           "                         --map writes the surface map of read times as SVG\n"
           "  speed N                read speed test of drive N\n"
           "  metrics [--output FILE]\n"
           "                         every drive's health in the Prometheus text format (FILE written atomically)\n"

           "  recover [--to-drive N] write back the blocks of repairs a crash interrupted; --to-drive N writes\n"
           "                         those of a drive that cannot be recognised for certain to drive N\n"
           "  selftest N short|extended|conveyance|abort [--wait]\n"
           "                         start (or abort) drive N's own self-test; --wait follows it to its result\n"
           "  log N                  drive N's own self-test log and error log\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* name) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = std::string(name) + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "--device") {
            auto v = value("--device");
            if (!v) return std::nullopt;
            options.devices.push_back(*v);
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--machine" || arg == "--start" || arg == "--end" || arg == "--mode" ||
                   arg == "--resume" || arg == "--session" || arg == "--output" || arg == "--map") {
            auto v = value(arg.c_str());
            if (!v) return std::nullopt;
            std::optional<std::string>* slot = arg == "--machine"   ? &options.machineFile
                                               : arg == "--start"   ? &options.start
                                               : arg == "--end"     ? &options.end
                                               : arg == "--mode"    ? &options.mode
                                               : arg == "--resume"  ? &options.resumeFile
                                               : arg == "--session" ? &options.sessionFile
                                               : arg == "--map"     ? &options.mapFile
                                                                    : &options.outputFile;
            if (slot->has_value()) {
                error = arg + " may be given once";
                return std::nullopt;
            }
            *slot = *v;
        } else if (arg == "--transfer-mib") {
            auto v = value("--transfer-mib");
            if (!v) return std::nullopt;
            std::uint32_t mib = 0;
            if (options.transferMib || !scan::ParseTransferMib(*v, mib)) {
                error = "--transfer-mib is given once, as a whole number of MiB from 0 to " +
                        std::to_string(scan::kLargestTransferMib);
                return std::nullopt;
            }
            options.transferMib = mib;
        } else if (arg == "--to-drive") {
            auto v = value("--to-drive");
            if (!v) return std::nullopt;
            int drive = -1;
            if (options.toDrive || !ParseDriveNumber(*v, drive)) {
                error = "--to-drive is given once, as a drive number from 0 to 49";
                return std::nullopt;
            }
            options.toDrive = drive;
        } else if (arg == "--wait") {
            options.wait = true;
        } else if (arg == "-h" || arg == "--help") {
            error = "help";
            return std::nullopt;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if ((options.machineFile ? 1 : 0) + (options.devices.empty() ? 0 : 1) + (options.demo ? 1 : 0) > 1) {
        error = "--machine, --device and --demo exclude each other";
        return std::nullopt;
    }
    if (positional.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    auto command = CommandNamed(positional[0]);
    if (!command) {
        error = "unknown command " + positional[0];
        return std::nullopt;
    }
    options.command = *command;
    if (*command == Command::SelfTest) {
        if (positional.size() != 3) {
            error = "selftest needs a drive number and short, extended, conveyance or abort";
            return std::nullopt;
        }
        options.selfTest = positional[2];
        positional.pop_back();
        if (options.selfTest != "short" && options.selfTest != "extended" && options.selfTest != "conveyance" &&
            options.selfTest != "abort") {
            error = "the self-test is short, extended, conveyance or abort: " + options.selfTest;
            return std::nullopt;
        }
    }
    if (options.wait && *command != Command::SelfTest) {
        error = "--wait belongs to selftest";
        return std::nullopt;
    }
    std::size_t expected = TakesDrive(*command) ? 2 : 1;
    if (positional.size() != expected) {
        error = TakesDrive(*command) ? positional[0] + " needs one drive number" : positional[0] + " takes no arguments";
        return std::nullopt;
    }
    if (TakesDrive(*command) && !ParseDriveNumber(positional[1], options.drive)) {
        error = "drive number must be 0 to 49: " + positional[1];
        return std::nullopt;
    }
    bool scanOptions = options.start || options.end || options.mode || options.resumeFile || options.sessionFile ||
                       options.transferMib || options.mapFile;
    if (scanOptions && *command != Command::Scan) {
        error = "--start, --end, --mode, --resume, --session, --transfer-mib and --map belong to scan";
        return std::nullopt;
    }
    if (options.toDrive && *command != Command::Recover) {
        error = "--to-drive belongs to recover";
        return std::nullopt;
    }
    if (options.outputFile && *command != Command::Metrics) {
        error = "--output belongs to metrics";
        return std::nullopt;
    }
    if (options.mode && *options.mode != "standard" && *options.mode != "regenerate") {
        error = "--mode is standard or regenerate";
        return std::nullopt;
    }
    if (options.resumeFile && (options.start || options.end)) {
        error = "--resume sets the range; leave out --start and --end";
        return std::nullopt;
    }
    return options;
}

}  // namespace cli
