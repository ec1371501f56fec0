// The attribute settings file and the INI reader under it. The store keys every entry by its
// own id, keeps texts within their buffers and never holds more entries than the file
// declares; the line visitor sees exactly the lines the profile keeps.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "health/attribute_settings.h"
#include "platform/profile.h"
#include "scratch_dir.h"

namespace {

bool SameLine(const platform::ProfileLine& a, const platform::ProfileLine& b) {
    return a.kind == b.kind && a.section == b.section && a.key == b.key && a.value == b.value && a.line == b.line;
}

void CheckLineVisitor(std::string_view text) {
    const platform::Profile profile = platform::Profile::fromText(text);
    std::size_t visited = 0;
    bool same = true;
    platform::Profile::forEachLine(text, [&](const platform::ProfileLine& line) {
        same = same && visited < profile.lines().size() && SameLine(line, profile.lines()[visited]);
        ++visited;
        return true;
    });
    FUZZ_CHECK(same);
    FUZZ_CHECK(visited == profile.lines().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchDir scratch;
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckLineVisitor(text);

    scratch.write("varim.ini", text);
    health::AttributeSettings store;
    health::LoadAttributeSettings(store, scratch.path() + "/varim.exe");

    const platform::Profile profile = platform::Profile::fromText(text);
    const std::int32_t declared = profile.getInt("General", "Max Attributes", 0);
    FUZZ_CHECK(store.size() <= static_cast<std::size_t>(declared > 0 ? declared : 0));
    for (const auto& [id, setting] : store.entries()) {
        FUZZ_CHECK(setting.id == id);
        FUZZ_CHECK(store.FindSetting(id) == &setting);
        FUZZ_CHECK(setting.name.size() <= 1023 && setting.details.size() <= 1023);
    }
    return 0;
}
