#include "platform/sim/machine_description.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

#include "platform/blank_text.h"
#include "platform/profile.h"

namespace platform::sim {
namespace {


std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The value without an inline comment (';' at the start or after a blank) and its quotes.
std::string_view cleanValue(std::string_view raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == ';' && (i == 0 || IsBlank(raw[i - 1]))) {
            raw = raw.substr(0, i);
            break;
        }
    }
    return Profile::stripQuotes(TrimBlanks(raw));
}

// Decimal or 0x hexadecimal, the whole text, no sign, at most max.
bool parseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    text = TrimBlanks(text);
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    std::uint64_t value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        if (value > (max - digit) / base) return false;
        value = value * base + digit;
    }
    out = value;
    return true;
}

// "N" with N written without leading zeros and at most max; false otherwise.
bool parseIndex(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    if (text.empty() || text.size() > 6 || (text.size() > 1 && text[0] == '0')) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return parseUnsigned(text, max, out);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(
            TrimBlanks(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start)));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return parts;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == ',')) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != ',') ++pos;
        if (pos > start) parts.push_back(text.substr(start, pos - start));
    }
    return parts;
}

std::string quoted(std::string_view text) {
    constexpr std::size_t kShown = 60;
    std::string shown(text.substr(0, kShown));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    return "'" + shown + (text.size() > kShown ? "...'" : "'");
}

class Parser {
  public:
    Parser(const std::string& baseDir, const std::string& fileName)
        : baseDir_(baseDir), fileName_(fileName) {}

    bool run(std::string_view text, MachineDescription& machine, std::string& error) {
        machine = MachineDescription();
        // Stops at the first complaint, so an enormous or binary file costs one bad line.
        const bool ok = Profile::forEachLine(text, [&](const ProfileLine& line) {
            switch (line.kind) {
                case ProfileLine::Kind::Section:
                    return beginSection(line, machine);
                case ProfileLine::Kind::Value:
                    return takeValue(line, machine);
                case ProfileLine::Kind::Other:
                    break;
            }
            return fail(line.line,
                        "expected a [Section] header or a Key = Value line, found " + quoted(line.key));
        });
        if (!ok || !finish(machine)) {
            error = error_;
            return false;
        }
        return true;
    }

  private:
    enum class Section { None, Machine, Drive };

    bool fail(std::size_t line, const std::string& reason) {
        error_ = fileName_ + ":" + std::to_string(line) + ": " + reason;
        return false;
    }

    bool beginSection(const ProfileLine& line, MachineDescription& machine) {
        const std::string name = lower(line.section);
        const auto earlier = sectionLines_.find(name);
        if (earlier != sectionLines_.end()) {
            return fail(line.line, "section [" + std::string(line.section) +
                                       "] appears twice (first at line " + std::to_string(earlier->second) +
                                       ")");
        }
        sectionLines_.emplace(name, line.line);
        keysSeen_.clear();
        if (name == "machine") {
            section_ = Section::Machine;
            return true;
        }
        if (name.rfind("drive", 0) == 0) {
            std::uint64_t number = 0;
            const std::string_view digits = std::string_view(name).substr(5);
            if (!parseIndex(digits, 999999, number)) {
                return fail(line.line, "unknown section [" + std::string(line.section) +
                                           "]; drives are [Drive0] to [Drive49]");
            }
            if (number >= static_cast<std::uint64_t>(kMaxDrives)) {
                return fail(line.line, "drive number " + std::to_string(number) + " is outside 0..49");
            }
            section_ = Section::Drive;
            DriveSpec drive;
            drive.number = static_cast<int>(number);
            drive.line = line.line;
            machine.drives.push_back(std::move(drive));
            sectorsLine_.push_back(0);
            faultLines_.emplace_back();
            return true;
        }
        return fail(line.line, "unknown section [" + std::string(line.section) + "]");
    }

    bool takeValue(const ProfileLine& line, MachineDescription& machine) {
        if (section_ == Section::None) {
            return fail(line.line, "key " + quoted(line.key) + " is outside any section");
        }
        const std::string key = lower(line.key);
        if (!keysSeen_.insert(key).second) {
            return fail(line.line, "key " + std::string(line.key) + " appears twice in this section");
        }
        const std::string_view value = cleanValue(line.value);
        if (section_ == Section::Machine) return machineValue(line, key, value, machine);
        return driveValue(line, key, value, machine.drives.back());
    }

    bool machineValue(const ProfileLine& line, const std::string& key, std::string_view value,
                      MachineDescription& machine) {
        if (key == "letters") return parseLetters(line.line, value, machine);
        if (key == "version") {
            const std::size_t dot = value.find('.');
            std::uint64_t major = 0;
            std::uint64_t minor = 0;
            if (dot == std::string_view::npos || !parseUnsigned(value.substr(0, dot), 255, major) ||
                !parseUnsigned(value.substr(dot + 1), 255, minor)) {
                return fail(line.line, "Version must be major.minor (such as 5.1), found " + quoted(value));
            }
            machine.versionMajor = static_cast<std::uint32_t>(major);
            machine.versionMinor = static_cast<std::uint32_t>(minor);
            return true;
        }
        if (key == "crashatwrite")
            return number(line, value, std::numeric_limits<std::uint64_t>::max(), machine.crashAtWrite);
        return fail(line.line, "unknown key " + quoted(line.key) + " in [Machine]");
    }

    bool parseLetters(std::size_t lineNumber, std::string_view value, MachineDescription& machine) {
        static const std::map<std::string, DWORD> kTypes = {{"fixed", DRIVE_FIXED},
                                                            {"removable", DRIVE_REMOVABLE},
                                                            {"cdrom", DRIVE_CDROM},
                                                            {"remote", DRIVE_REMOTE},
                                                            {"ramdisk", DRIVE_RAMDISK}};
        machine.hasLetters = true;
        std::set<char> seen;
        for (const std::string_view entry : words(value)) {
            const std::string text = lower(entry);
            const auto type = text.size() > 2 ? kTypes.find(text.substr(2)) : kTypes.end();
            if (text.size() < 3 || text[0] < 'a' || text[0] > 'z' || text[1] != ':' || type == kTypes.end()) {
                return fail(lineNumber,
                            "Letters entry " + quoted(entry) +
                                " is not LETTER:TYPE with TYPE fixed, removable, cdrom, remote or ramdisk");
            }
            const char letter = static_cast<char>(text[0] - 'a' + 'A');
            if (!seen.insert(letter).second) {
                return fail(lineNumber, std::string("Letters names ") + letter + ": twice");
            }
            machine.letters.push_back({letter, type->second});
        }
        return true;
    }

    template <typename T>
    bool number(const ProfileLine& line, std::string_view value, std::uint64_t max, T& out) {
        std::uint64_t parsed = 0;
        if (!parseUnsigned(value, max, parsed)) {
            return fail(line.line, std::string(line.key) + " must be a number from 0 to " +
                                       std::to_string(max) + ", found " + quoted(value));
        }
        out = static_cast<T>(parsed);
        return true;
    }

    bool yesNo(const ProfileLine& line, std::string_view value, bool& out) {
        const std::string text = lower(value);
        if (text == "yes" || text == "no") {
            out = text == "yes";
            return true;
        }
        return fail(line.line, std::string(line.key) + " must be yes or no, found " + quoted(value));
    }

    bool text(const ProfileLine& line, std::string_view value, std::size_t width, std::string& out) {
        if (value.size() > width) {
            return fail(line.line, std::string(line.key) + " is longer than its " + std::to_string(width) +
                                       " characters");
        }
        out = std::string(value);
        return true;
    }

    bool sectorList(const ProfileLine& line, std::string_view value, SectorSet& out) {
        if (TrimBlanks(value).empty()) return true;
        for (const std::string_view item : split(value, ',')) {
            const std::size_t dash = item.find('-');
            const std::string_view firstText = item.substr(0, dash);
            const std::string_view lastText = dash == std::string_view::npos ? item : item.substr(dash + 1);
            std::uint64_t first = 0;
            std::uint64_t last = 0;
            if (!parseUnsigned(firstText, kMaxSectors, first) ||
                !parseUnsigned(lastText, kMaxSectors, last) || first > last) {
                return fail(line.line,
                            std::string(line.key) + ": " + quoted(item) +
                                " is not a sector or an ascending range A-B (list: sectors or ranges "
                                "separated by commas)");
            }
            out.add(first, last);
        }
        return true;
    }

    // "A-B:MS" or "A:MS" items separated by commas: extra milliseconds for reads touching them.
    bool slowList(const ProfileLine& line, std::string_view value, std::vector<SlowRange>& out) {
        constexpr std::uint64_t kMaxSlowMs = 600'000;
        if (TrimBlanks(value).empty()) return true;
        for (const std::string_view item : split(value, ',')) {
            const std::size_t colon = item.find(':');
            const std::string_view sectors = item.substr(0, colon);
            const std::size_t dash = sectors.find('-');
            SlowRange range;
            range.line = line.line;
            if (colon == std::string_view::npos ||
                !parseUnsigned(sectors.substr(0, dash), kMaxSectors, range.first) ||
                !parseUnsigned(dash == std::string_view::npos ? sectors : sectors.substr(dash + 1), kMaxSectors,
                               range.last) ||
                range.first > range.last || !parseUnsigned(item.substr(colon + 1), kMaxSlowMs, range.ms)) {
                return fail(line.line, std::string(line.key) + ": " + quoted(item) +
                                           " is not a sector or an ascending range A-B, a colon and milliseconds "
                                           "up to 600000 (such as 5000-5099:120)");
            }
            out.push_back(range);
        }
        return true;
    }

    bool attribute(const ProfileLine& line, std::string_view value, AttributeSpec& out) {
        const auto fields = split(value, ',');
        std::uint64_t id = 0, flags = 0, current = 0, worst = 0;
        const auto raw = fields.size() == 5 ? words(fields[4]) : std::vector<std::string_view>();
        bool ok = fields.size() == 5 && raw.size() == 6 && parseUnsigned(fields[0], 255, id) &&
                  parseUnsigned(fields[1], 0xFFFF, flags) && parseUnsigned(fields[2], 255, current) &&
                  parseUnsigned(fields[3], 255, worst);
        for (std::size_t i = 0; ok && i < raw.size(); ++i) {
            std::uint64_t byte = 0;
            ok = parseUnsigned(raw[i], 255, byte);
            out.raw[i] = static_cast<BYTE>(byte);
        }
        if (!ok) {
            return fail(line.line, std::string(line.key) +
                                       " must be: id, flags, current, worst, six raw bytes (such as "
                                       "194, 0x0022, 100, 100, 38 0 20 0 45 0), found " +
                                       quoted(value));
        }
        out.present = true;
        out.id = static_cast<BYTE>(id);
        out.flags = static_cast<WORD>(flags);
        out.current = static_cast<BYTE>(current);
        out.worst = static_cast<BYTE>(worst);
        return true;
    }

    bool threshold(const ProfileLine& line, std::string_view value, ThresholdSpec& out) {
        const auto fields = split(value, ',');
        std::uint64_t id = 0, limit = 0;
        if (fields.size() != 2 || !parseUnsigned(fields[0], 255, id) ||
            !parseUnsigned(fields[1], 255, limit)) {
            return fail(line.line, std::string(line.key) + " must be: id, threshold (such as 5, 36), found " +
                                       quoted(value));
        }
        out.present = true;
        out.id = static_cast<BYTE>(id);
        out.threshold = static_cast<BYTE>(limit);
        return true;
    }

    // "attribute.N" / "threshold.N" with N 0..29: the page position, or -1 when key is not one.
    int pagePosition(const std::string& key, std::string_view prefix) {
        if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) return -1;
        std::uint64_t position = 0;
        if (!parseIndex(std::string_view(key).substr(prefix.size()), 999999, position)) return -1;
        return position < static_cast<std::uint64_t>(kPageEntries) ? static_cast<int>(position) : -2;
    }

    bool driveValue(const ProfileLine& line, const std::string& key, std::string_view value,
                    DriveSpec& drive) {
        constexpr std::uint64_t kDword = std::numeric_limits<DWORD>::max();
        constexpr std::uint64_t kMaxLatencyUs = 10'000'000;
        if (key == "sectors") {
            if (!number(line, value, kMaxSectors, drive.sectors)) return false;
            sectorsLine_.back() = line.line;
            return true;
        }
        if (key == "image") {
            if (value.empty()) return fail(line.line, "Image names no file");
            drive.imagePath = value.front() == '/' || baseDir_.empty() ? std::string(value)
                                                                       : baseDir_ + "/" + std::string(value);
            drive.imageLine = line.line;
            return true;
        }
        if (key == "geometry") {
            const auto fields = split(value, ',');
            std::uint64_t cylinders = 0, tracks = 0, perTrack = 0;
            if (fields.size() != 3 ||
                !parseUnsigned(fields[0],
                               static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()),
                               cylinders) ||
                !parseUnsigned(fields[1], kDword, tracks) || !parseUnsigned(fields[2], kDword, perTrack)) {
                return fail(line.line,
                            "Geometry must be: cylinders, tracks per cylinder, sectors per track, found " +
                                quoted(value));
            }
            drive.hasGeometry = true;
            drive.cylinders = static_cast<std::int64_t>(cylinders);
            drive.tracksPerCylinder = static_cast<DWORD>(tracks);
            drive.sectorsPerTrack = static_cast<DWORD>(perTrack);
            return true;
        }
        if (key == "openerror") return number(line, value, kDword, drive.openError);
        if (key == "enableerror") return number(line, value, kDword, drive.enableError);
        if (key == "inuse") return yesNo(line, value, drive.inUse);
        if (key == "partialwrites") return yesNo(line, value, drive.partialWrites);
        if (key == "uncertainidentity") return yesNo(line, value, drive.uncertainIdentity);
        if (key == "identifyfails") return yesNo(line, value, drive.identifyFails);
        if (key == "valuesfail") return yesNo(line, value, drive.valuesFail);
        if (key == "thresholdsfail") return yesNo(line, value, drive.thresholdsFail);
        if (key == "smart") {
            const std::string text = lower(value);
            if (text == "yes")
                drive.smart = SmartSupport::Yes;
            else if (text == "nocap")
                drive.smart = SmartSupport::NoCapability;
            else if (text == "none")
                drive.smart = SmartSupport::None;
            else
                return fail(line.line, "Smart must be yes, nocap or none, found " + quoted(value));
            return true;
        }
        if (key == "powermode") {
            const std::string text = lower(value);
            if (text == "active")
                drive.powerMode = PowerMode::Active;
            else if (text == "idle")
                drive.powerMode = PowerMode::Idle;
            else if (text == "standby")
                drive.powerMode = PowerMode::Standby;
            else
                return fail(line.line, "PowerMode must be active, idle or standby, found " + quoted(value));
            return true;
        }
        if (key == "transport") {
            const std::string text = lower(value);
            if (text != "ata" && text != "nvme")
                return fail(line.line, "Transport must be ata or nvme, found " + quoted(value));
            drive.nvme = text == "nvme";
            return true;
        }
        if (key == "nvmeidentify") return nvmeAnswer(line, value, drive.nvmeIdentify);
        if (key == "nvmehealth") return nvmeAnswer(line, value, drive.nvmeHealth);
        if (key.rfind("nvme.", 0) == 0) return nvmeField(line, key.substr(5), value, drive);
        if (key == "model") return text(line, value, 40, drive.model);
        if (key == "serial") return text(line, value, 20, drive.serial);
        if (key == "firmware") return text(line, value, 8, drive.firmware);
        if (key == "device") return deviceName(line, value, drive.deviceName);
        if (key == "wwn") return number(line, value, UINT64_MAX, drive.wwn);
        if (key == "physicalsectorsize") {
            std::uint64_t bytes = 0;
            if (!parseUnsigned(value, kMaxPhysicalBytes, bytes) || bytes < 512 || (bytes & (bytes - 1)) != 0)
                return fail(line.line, std::string(line.key) + " must be 512 or a power of two multiple of it up to " +
                                           std::to_string(kMaxPhysicalBytes) + ", found " + quoted(value));
            drive.physicalBytes = static_cast<std::uint32_t>(bytes);
            return true;
        }
        if (key == "alignmentoffset") {
            drive.alignmentLine = line.line;
            return number(line, value, kMaxPhysicalBytes / 512 - 1, drive.alignmentSectors);
        }
        if (key == "badread") return faultList(line, value, drive, &DriveSpec::badRead);
        if (key == "badwrite") return faultList(line, value, drive, &DriveSpec::badWrite);
        if (key == "pending") return faultList(line, value, drive, &DriveSpec::pending);
        if (key == "weak") return faultList(line, value, drive, &DriveSpec::weak);
        if (key == "slowread") return slowList(line, value, drive.slowRead);
        if (key == "latencyus") return number(line, value, kMaxLatencyUs, drive.latencyUs);
        if (key == "latencypersectorus") return number(line, value, kMaxLatencyUs, drive.latencyPerSectorUs);
        std::string reason;
        switch (takeSelfTestKey(lower(key), lower(value), drive.selfTest, reason)) {
            case KeyVerdict::Taken: return true;
            case KeyVerdict::Bad: return fail(line.line, reason + ", found " + quoted(value));
            case KeyVerdict::NotMine: break;
        }
        if (const int position = pagePosition(key, "attribute."); position != -1) {
            if (position < 0) return fail(line.line, std::string(line.key) + ": page positions are 0 to 29");
            return attribute(line, value, drive.attributes[static_cast<std::size_t>(position)]);
        }
        if (const int position = pagePosition(key, "threshold."); position != -1) {
            if (position < 0) return fail(line.line, std::string(line.key) + ": page positions are 0 to 29");
            return threshold(line, value, drive.thresholds[static_cast<std::size_t>(position)]);
        }
        return fail(line.line,
                    "unknown key " + quoted(line.key) + " in [Drive" + std::to_string(drive.number) + "]");
    }

    // A short name such as sdb or nvme1n1: letters, digits, '.', '_' and '-', at most 32.
    bool deviceName(const ProfileLine& line, std::string_view value, std::string& out) {
        const bool allowed = std::all_of(value.begin(), value.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                   c == '_' || c == '-';
        });
        if (value.empty() || value.size() > 32 || !allowed)
            return fail(line.line, std::string(line.key) +
                                       " must be 1 to 32 letters, digits, '.', '_' or '-' (such as sdb), found " +
                                       quoted(value));
        out = std::string(value);
        return true;
    }

    bool nvmeAnswer(const ProfileLine& line, std::string_view value, NvmeAnswer& out) {
        const std::string text = lower(value);
        if (text == "ok")
            out = NvmeAnswer::Ok;
        else if (text == "error")
            out = NvmeAnswer::Error;
        else if (text == "short")
            out = NvmeAnswer::Short;
        else if (text == "garbage")
            out = NvmeAnswer::Garbage;
        else if (text == "malformed")
            out = NvmeAnswer::Malformed;
        else
            return fail(line.line, std::string(line.key) + " must be ok, error, short, garbage or malformed, found " + quoted(value));
        return true;
    }

    // Nvme.<Field> = number; the byte-sized fields take 0..255 (values a broken drive could
    // report included), the temperature 0..65535, the counters any 64-bit number.
    bool nvmeField(const ProfileLine& line, const std::string& field, std::string_view value, DriveSpec& drive) {
        struct Field {
            const char* name;
            std::uint64_t max;
        };
        static const Field kFields[kNvmeHealthFields] = {
            {"criticalwarning", 255},     {"temperaturekelvin", 65535}, {"availablespare", 255},
            {"availablesparethreshold", 255}, {"percentageused", 255}, {"dataunitsread", UINT64_MAX},
            {"dataunitswritten", UINT64_MAX}, {"hostreadcommands", UINT64_MAX}, {"hostwritecommands", UINT64_MAX},
            {"controllerbusytime", UINT64_MAX}, {"powercycles", UINT64_MAX}, {"poweronhours", UINT64_MAX},
            {"unsafeshutdowns", UINT64_MAX}, {"mediaerrors", UINT64_MAX}, {"errorlogentries", UINT64_MAX},
        };
        for (std::size_t i = 0; i < kNvmeHealthFields; ++i) {
            if (field == kFields[i].name) return number(line, value, kFields[i].max, drive.nvmeFields[i]);
        }
        constexpr std::uint64_t kU32 = 0xFFFFFFFFu, kU16 = 0xFFFF;
        if (field == "warningtempminutes") return number(line, value, kU32, drive.nvmeWarningTempMinutes);
        if (field == "criticaltempminutes") return number(line, value, kU32, drive.nvmeCriticalTempMinutes);
        if (field == "warningthresholdkelvin") return number(line, value, kU16, drive.nvmeWarningThresholdKelvin);
        if (field == "criticalthresholdkelvin") return number(line, value, kU16, drive.nvmeCriticalThresholdKelvin);
        if (field == "temperaturesensors") {
            const auto entries = words(value);
            bool ok = !entries.empty() && entries.size() <= drive.nvmeSensorsKelvin.size();
            for (std::size_t i = 0; ok && i < entries.size(); ++i) {
                std::uint64_t kelvin = 0;
                ok = parseUnsigned(entries[i], kU16, kelvin);
                drive.nvmeSensorsKelvin[i] = static_cast<std::uint16_t>(kelvin);
            }
            if (!ok)
                return fail(line.line, std::string(line.key) +
                                           " must be 1 to 8 temperatures in Kelvin, 0 for an absent sensor (such as "
                                           "310, 0, 305), found " + quoted(value));
            return true;
        }
        return fail(line.line,
                    "unknown key " + quoted(line.key) + " in [Drive" + std::to_string(drive.number) + "]");
    }

    bool faultList(const ProfileLine& line, std::string_view value, DriveSpec& drive,
                   SectorSet DriveSpec::*set) {
        if (!sectorList(line, value, drive.*set)) return false;
        faultLines_.back().push_back({set, line});
        return true;
    }

    bool finish(MachineDescription& machine) {
        for (std::size_t i = 0; i < machine.drives.size(); ++i) {
            DriveSpec& drive = machine.drives[i];
            if (sectorsLine_[i] == 0) {
                return fail(drive.line, "[Drive" + std::to_string(drive.number) + "] has no Sectors key");
            }
            for (const SlowRange& slow : drive.slowRead) {
                if (slow.last >= drive.sectors) {
                    return fail(slow.line, "SlowRead names sector " + std::to_string(slow.last) +
                                               ", beyond the drive's last sector " +
                                               (drive.sectors == 0 ? std::string("(it has none)")
                                                                   : std::to_string(drive.sectors - 1)));
                }
            }
            if (drive.alignmentSectors >= drive.physicalBytes / 512) {
                return fail(drive.alignmentLine, "AlignmentOffset must be below the " +
                                                     std::to_string(drive.physicalBytes / 512) +
                                                     " logical sectors of a physical sector, found " +
                                                     std::to_string(drive.alignmentSectors));
            }
            // An NVMe drive counts its errors in the health log.
            const SelfTestSpec& tests = drive.selfTest;
            if (drive.nvme && (tests.hasErrorCount || tests.reportedErrorCount() > 0))
                drive.nvmeFields[kNvmeHealthFields - 1] = tests.reportedErrorCount();
            for (const auto& [set, line] : faultLines_[i]) {
                const SectorSet& sectors = drive.*set;
                if (!sectors.empty() && sectors.highest() >= drive.sectors) {
                    return fail(line.line, std::string(line.key) + " names sector " +
                                               std::to_string(sectors.highest()) +
                                               ", beyond the drive's last sector " +
                                               (drive.sectors == 0 ? std::string("(it has none)")
                                                                   : std::to_string(drive.sectors - 1)));
                }
            }
        }
        return true;
    }

    std::string baseDir_;
    std::string fileName_;
    std::string error_;
    Section section_ = Section::None;
    std::map<std::string, std::size_t> sectionLines_;
    std::set<std::string> keysSeen_;
    std::vector<std::size_t> sectorsLine_;  // per drive in file order; 0 while no Sectors key was seen
    // per drive in file order: the fault lists given, checked against Sectors at the end
    std::vector<std::vector<std::pair<SectorSet DriveSpec::*, ProfileLine>>> faultLines_;
};

}  // namespace

bool parseMachineDescription(std::string_view text, const std::string& baseDir, const std::string& fileName,
                             MachineDescription& machine, std::string& error) {
    Parser parser(baseDir, fileName);
    return parser.run(text, machine, error);
}

std::string reportedSerial(const DriveSpec& drive) {
    if (!drive.serial.empty()) return drive.serial;
    return "SIM" + std::string(drive.number < 10 ? "000" : "00") + std::to_string(drive.number);
}

}  // namespace platform::sim

namespace platform::sim {

std::string reportedDeviceName(const DriveSpec& drive) {
    return drive.deviceName.empty() ? "sim" + std::to_string(drive.number) : drive.deviceName;
}

}  // namespace platform::sim
