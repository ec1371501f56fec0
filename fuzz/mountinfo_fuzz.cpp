// The Linux layer's reading of /proc/self/mountinfo and /proc/swaps for a disk vfz (259:77)
// with one partition vfz1 (259:78). The input is the mountinfo text, then a zero byte, then
// the swaps text. A mount line whose device field names the disk or its partition is always
// found, and a reason always names one of them; the octal unescaping gives back any text
// written with every byte escaped.
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/linux/drive_usage.h"
#include "scratch_dir.h"

namespace pl = platform::linux;

namespace {

void MakeDisk(const fuzz::ScratchDir& scratch) {
    scratch.write("sys/devices/vfz/vfz1/partition", "1\n");
    scratch.write("sys/devices/vfz/vfz1/dev", "259:78\n");
    scratch.makeDir("sys/devices/vfz/holders");
    scratch.makeDir("sys/devices/vfz/vfz1/holders");
    scratch.makeDir("sys/dev/block");
    FUZZ_CHECK(::symlink("../../devices/vfz", (scratch.path() + "/sys/dev/block/259:77").c_str()) == 0);
}

// Whether a mountinfo line's third field is exactly the disk's or its partition's number.
bool NamesTheDisk(std::string_view mountinfo) {
    std::istringstream lines{std::string(mountinfo)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, number;
        fields >> id >> parent >> number;
        if (number == "259:77" || number == "259:78") return true;
    }
    return false;
}

std::string EscapeEveryByte(std::string_view text) {
    std::string escaped;
    for (unsigned char c : text) {
        escaped += '\\';
        escaped += static_cast<char>('0' + (c >> 6));
        escaped += static_cast<char>('0' + ((c >> 3) & 7));
        escaped += static_cast<char>('0' + (c & 7));
    }
    return escaped;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchDir scratch;
    static const bool made = (MakeDisk(scratch), true);
    (void)made;

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view mountinfo = input.substr(0, split);
    const std::string_view swaps = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    scratch.write("proc/self/mountinfo", std::string(mountinfo));
    scratch.write("proc/swaps", std::string(swaps));

    pl::SystemRoots roots;
    roots.sysfs = scratch.path() + "/sys";
    roots.proc = scratch.path() + "/proc";
    roots.dev = "/devfz";
    const auto reason = pl::findDriveInUse(makedev(259, 77), roots);
    if (NamesTheDisk(mountinfo)) FUZZ_CHECK(reason.has_value());
    if (reason) FUZZ_CHECK(reason->rfind("/devfz/vfz", 0) == 0);

    FUZZ_CHECK(pl::unescapeProcField(EscapeEveryByte(input)) == input);
    FUZZ_CHECK(pl::unescapeProcField(std::string(input)).size() <= input.size());
    return 0;
}
