// The INI reader against the Windows profile rules the settings file relies on.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "sim_machine_helpers.h"

namespace platform {
namespace {

TEST(ProfileLookup, NamesAreCaseInsensitiveAndTheFirstOccurrenceWins) {
    const Profile p = Profile::fromText(
        "[General]\n"
        "Max Attributes = 2\n"
        "max attributes = 7\n"
        "[ATTRIB0]\n"
        "Name = First\n"
        "[Attrib0]\n"
        "Name = Second section\n"
        "Details = only in the second section\n"
        "[ Spaced ]\n"
        "  Key With Spaces   =   value with spaces   \n");
    EXPECT_EQ(p.getInt("general", "MAX ATTRIBUTES", 0), 2);
    EXPECT_EQ(p.getString("attrib0", "name", "", 1024), "First");
    EXPECT_EQ(p.getString("Attrib0", "Details", "none", 1024), "none")
        << "a repeated section is not looked at";
    EXPECT_EQ(p.getString("Spaced", "key with spaces", "", 1024), "value with spaces");
    EXPECT_TRUE(p.has("GENERAL", "max attributes"));
    EXPECT_FALSE(p.has("General", "Missing"));
}

TEST(ProfileLookup, DefaultsAndCutsToTheBuffer) {
    const Profile p = Profile::fromText(
        "[S]\nLong = abcdefghij\nEmpty =\nQuoted = \"a b \"\nSingle = 'x'\n"
        "Half = \"open\nOdd = \"\n");
    EXPECT_EQ(p.getInt("S", "Missing", 42), 42);
    EXPECT_EQ(p.getInt("Missing", "Long", -3), -3);
    EXPECT_EQ(p.getString("S", "Missing", "fallback", 1024), "fallback");
    EXPECT_EQ(p.getString("S", "Missing", "fallback", 4), "fal");
    EXPECT_EQ(p.getString("S", "Missing", " padded  ", 1024), " padded") << "trailing spaces leave the default";
    EXPECT_EQ(p.getString("S", "Long", "", 5), "abcd");
    EXPECT_EQ(p.getString("S", "Long", "", 1), "");
    EXPECT_EQ(p.getString("S", "Long", "", 0), "");
    EXPECT_EQ(p.getString("S", "Empty", "default", 1024), "") << "a present empty value is not the default";
    EXPECT_EQ(p.getInt("S", "Empty", 9), 9);
    EXPECT_EQ(p.getString("S", "Quoted", "", 1024), "a b ");
    EXPECT_EQ(p.getString("S", "Single", "", 1024), "x");
    EXPECT_EQ(p.getString("S", "Half", "", 1024), "\"open");
    EXPECT_EQ(p.getString("S", "Odd", "", 1024), "\"");
    EXPECT_EQ(Profile().getInt("General", "Max Attributes", 0), 0);
}

TEST(ProfileIntegers, ConvertLikeTheWindowsCall) {
    const Profile p = Profile::fromText(
        "[N]\nplain=194\nsuffix=12abc\ntext=abc\nnegative=-5\nplus=+7\nhex=0x1F\nhexupper=0XfF\n"
        "big=4294967297\nwrapped=2147483648\nspaced=  15 16\nlarge=449\nquoted=\"33\"\nsignonly=-\n");
    EXPECT_EQ(p.getInt("N", "plain", 0), 194);
    EXPECT_EQ(p.getInt("N", "suffix", 0), 12);
    EXPECT_EQ(p.getInt("N", "text", 5), 0) << "text that does not start with digits gives 0, not the default";
    EXPECT_EQ(p.getInt("N", "negative", 0), -5);
    EXPECT_EQ(p.getInt("N", "plus", 0), 7);
    EXPECT_EQ(p.getInt("N", "hex", 0), 31);
    EXPECT_EQ(p.getInt("N", "hexupper", 0), 255);
    EXPECT_EQ(p.getInt("N", "big", 0), 1) << "wraps at 32 bits";
    EXPECT_EQ(p.getInt("N", "wrapped", 0), INT32_MIN);
    EXPECT_EQ(p.getInt("N", "spaced", 0), 15);
    EXPECT_EQ(p.getInt("N", "large", 0) & 0xFF, 193);
    EXPECT_EQ(p.getInt("N", "quoted", 0), 33);
    EXPECT_EQ(p.getInt("N", "signonly", 4), 0);
    EXPECT_EQ(Profile::toInt("\t-0x10"), -16);
}

TEST(ProfileLines, ListsHeadersKeysAndStrayTextWithLineNumbers) {
    const Profile p = Profile::fromText("orphan = 1\n; comment\n\n[A] ; note\nk = v\r\nstray\n[B]\nk2=\n");
    const auto& lines = p.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].kind, ProfileLine::Kind::Value);
    EXPECT_EQ(lines[0].section, "");
    EXPECT_EQ(lines[0].line, 1u);
    EXPECT_EQ(lines[1].kind, ProfileLine::Kind::Section);
    EXPECT_EQ(lines[1].section, "A");
    EXPECT_EQ(lines[1].line, 4u);
    EXPECT_EQ(lines[2].key, "k");
    EXPECT_EQ(lines[2].value, "v");
    EXPECT_EQ(lines[2].section, "A");
    EXPECT_EQ(lines[3].kind, ProfileLine::Kind::Other);
    EXPECT_EQ(lines[3].key, "stray");
    EXPECT_EQ(lines[3].line, 6u);
    EXPECT_EQ(lines[5].key, "k2");
    EXPECT_EQ(lines[5].line, 8u);
    EXPECT_FALSE(p.has("", "orphan")) << "keys before any section belong to no section";

    // Copies keep their lines after the original is gone.
    auto copy = std::make_unique<Profile>(Profile::fromText("[Kept]\nname = value\n"));
    const Profile kept = *copy;
    copy.reset();
    ASSERT_EQ(kept.lines().size(), 2u);
    EXPECT_EQ(kept.lines()[1].value, "value");
}

TEST(ProfileLines, AVisitorCanStopAtTheFirstLineItRefuses) {
    std::string text = "[A]\nbad line\n";
    for (int i = 0; i < 100000; ++i) text += "k=v\n";
    int visited = 0;
    EXPECT_FALSE(Profile::forEachLine(text, [&](const ProfileLine& line) {
        ++visited;
        return line.kind != ProfileLine::Kind::Other;
    }));
    EXPECT_EQ(visited, 2);
    EXPECT_TRUE(Profile::forEachLine("[A]\nx=1\n", [](const ProfileLine&) { return true; }));
}

TEST(ProfileFiles, MissingEmptyBinaryAndHugeFilesLoadSafely) {
    sim::testing::TempDir dir;
    EXPECT_FALSE(Profile::fromFile((dir.path() / "missing.ini").string()).has("General", "Max Attributes"));
    EXPECT_TRUE(Profile::fromFile(dir.write("empty.ini", "")).lines().empty());
    EXPECT_TRUE(Profile::fromFile(dir.path().string()).lines().empty()) << "a folder reads as empty";

    std::string binary(300000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 131) % 251);
    binary += "\n[General]\nMax Attributes = 3\n";
    EXPECT_EQ(Profile::fromFile(dir.write("binary.ini", binary)).getInt("General", "Max Attributes", 0), 3);

    // 10,000 sections and several MiB: loading stays linear.
    std::string huge;
    for (int i = 0; i < 10000; ++i) {
        huge += "[Attrib" + std::to_string(i) + "]\nId=" + std::to_string(i % 256) +
                "\nName=" + std::string(400, 'n') + "\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const Profile p = Profile::fromFile(dir.write("huge.ini", huge));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(p.getInt("Attrib9999", "Id", -1), 9999 % 256);
    EXPECT_EQ(p.lines().size(), 30000u);
    EXPECT_LT(elapsed, std::chrono::seconds(20)) << "a quadratic reader would take minutes";
}

}  // namespace
}  // namespace platform
