// The session file reader. An accepted file gives two numbers the Scan command accepts, and
// saving them again (the resume sector as a number, the end field through the save check)
// gives a file that reads back to the same two numbers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "scan/scan_engine.h"
#include "scan/scan_session.h"
#include "scan/session_file.h"

namespace {

struct Numbers {
    std::int64_t resume = 0;
    std::int64_t end = 0;
};

bool NumbersOf(const scan::SessionValues& values, Numbers& numbers) {
    return scan::ParseRangeField(values.resumeText, numbers.resume) && scan::ParseRangeField(values.endText, numbers.end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto values = scan::ParseSessionFile(bytes);
    if (!values) return 0;

    FUZZ_CHECK(size <= scan::kLongestSessionFile);
    FUZZ_CHECK(!values->resumeText.empty());
    Numbers read;
    FUZZ_CHECK(NumbersOf(*values, read));
    FUZZ_CHECK(read.resume >= 0 && read.end >= 0);

    const auto endText = scan::CheckedNumberText(values->endText);
    FUZZ_CHECK(endText.has_value());
    const std::string saved = scan::FormatSessionFile(std::to_string(read.resume), *endText);
    const auto reread = scan::ParseSessionFile(saved);
    FUZZ_CHECK(reread.has_value());
    Numbers again;
    FUZZ_CHECK(NumbersOf(*reread, again));
    FUZZ_CHECK(again.resume == read.resume && again.end == read.end);
    return 0;
}
