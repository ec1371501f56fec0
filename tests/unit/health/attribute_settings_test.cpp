// The settings file beside the executable, written into a temporary folder for each case.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "health/attribute_settings.h"
#include "platform/profile.h"

namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("varim_settings_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        exe_ = (dir_ / "varim.exe").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Write(const std::string& text) {
        std::ofstream out(dir_ / "varim.ini", std::ios::binary);
        out << text;
    }
    health::AttributeSettings Load() {
        health::AttributeSettings store;
        health::LoadAttributeSettings(store, exe_);
        return store;
    }

    fs::path dir_;
    std::string exe_;
};

// Every section read one by one, the slow way the loader may shortcut.
health::AttributeSettings ReadEverySection(const std::string& iniText) {
    health::AttributeSettings store;
    const platform::Profile profile = platform::Profile::fromText(iniText);
    const int count = profile.getInt("General", "Max Attributes", 0);
    for (int i = 0; i < count; ++i) {
        const std::string section = "Attrib" + std::to_string(i);
        health::AttributeSetting setting;
        setting.id = static_cast<std::uint8_t>(profile.getInt(section, "Id", 0));
        setting.critical = profile.getInt(section, "Critical", 0);
        setting.name = profile.getString(section, "Name", "", 1024);
        setting.details = profile.getString(section, "Details", "", 1024);
        store.insert(setting);
    }
    return store;
}

void ExpectSameStore(const health::AttributeSettings& actual, const health::AttributeSettings& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [id, want] : expected.entries()) {
        const health::AttributeSetting* got = actual.FindSetting(id);
        ASSERT_NE(got, nullptr) << "id " << int(id);
        EXPECT_EQ(got->id, want.id);
        EXPECT_EQ(got->critical, want.critical) << "id " << int(id);
        EXPECT_EQ(got->name, want.name) << "id " << int(id);
        EXPECT_EQ(got->details, want.details) << "id " << int(id);
    }
}

TEST(SettingsPath, ReplacesTheLastThreeCharacters) {
    EXPECT_EQ(health::SettingsPathFor("/opt/varim/varim.exe"), "/opt/varim/varim.ini");
    EXPECT_EQ(health::SettingsPathFor("/usr/bin/varim-repair"), "/usr/bin/varim-repini");
    EXPECT_EQ(health::SettingsPathFor("abc"), "ini");
    EXPECT_EQ(health::SettingsPathFor("ab"), "ini");
    EXPECT_EQ(health::SettingsPathFor(""), "ini");
}

TEST_F(SettingsFile, ReadsTheListedSections) {
    Write("[General]\nMax Attributes=2\n"
          "[Attrib0]\nId=194\nCritical=1\nName=Heat\nDetails=Drive temperature in C\n"
          "[Attrib1]\nId=5\n");
    const health::AttributeSettings store = Load();
    ASSERT_EQ(store.size(), 2u);
    const health::AttributeSetting* heat = store.FindSetting(194);
    ASSERT_NE(heat, nullptr);
    EXPECT_EQ(heat->critical, 1);
    EXPECT_EQ(heat->name, "Heat");
    EXPECT_EQ(heat->details, "Drive temperature in C");
    const health::AttributeSetting* realloc = store.FindSetting(5);
    ASSERT_NE(realloc, nullptr);
    EXPECT_EQ(realloc->critical, 0);
    EXPECT_EQ(realloc->name, "");
    EXPECT_EQ(realloc->details, "");
    EXPECT_EQ(store.FindSetting(0), nullptr);
    EXPECT_EQ(store.FindSetting(193), nullptr);
}

TEST_F(SettingsFile, MissingSectionsAddOneEmptyEntryUnderIdZero) {
    Write("[General]\nMax Attributes=3\n[Attrib0]\nId=194\nCritical=1\n[Attrib1]\nId=5\n");
    const health::AttributeSettings store = Load();
    ASSERT_EQ(store.size(), 3u);
    const health::AttributeSetting* empty = store.FindSetting(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->critical, 0);
    EXPECT_EQ(empty->name, "");
    EXPECT_EQ(store.FindSetting(194)->critical, 1);
    EXPECT_NE(store.FindSetting(5), nullptr);
}

TEST_F(SettingsFile, FirstSectionWinsForAnId) {
    Write("[General]\nMax Attributes=4\n"
          "[Attrib0]\nId=9\nName=first\n[Attrib1]\nId=9\nName=second\nCritical=1\n"
          // a missing Attrib2 takes id 0 before Attrib3 can
          "[Attrib3]\nId=0\nName=late zero\n");
    const health::AttributeSettings store = Load();
    ASSERT_EQ(store.size(), 2u);
    EXPECT_EQ(store.FindSetting(9)->name, "first");
    EXPECT_EQ(store.FindSetting(9)->critical, 0);
    EXPECT_EQ(store.FindSetting(0)->name, "");
}

TEST_F(SettingsFile, ReadsOnlyTheCountedSections) {
    Write("[General]\nMax Attributes=2\n[Attrib1]\nId=7\n[Attrib2]\nId=8\n");
    const health::AttributeSettings store = Load();
    ASSERT_EQ(store.size(), 2u);
    EXPECT_NE(store.FindSetting(0), nullptr);  // Attrib0 missing, read as empty
    EXPECT_NE(store.FindSetting(7), nullptr);
    EXPECT_EQ(store.FindSetting(8), nullptr);
}

TEST_F(SettingsFile, NoCountMeansAnEmptyStore) {
    const std::string sections = "[Attrib0]\nId=1\n";
    for (const std::string& general :
         {std::string("[General]\nMax Attributes=-1\n"), std::string("[General]\nMax Attributes=0\n"),
          std::string("[General]\nOther=3\n"), std::string("[Elsewhere]\nMax Attributes=3\n"),
          std::string("[General]\nMax Attributes=many\n")}) {
        Write(general + sections);
        EXPECT_EQ(Load().size(), 0u) << general;
    }
}

TEST_F(SettingsFile, IdKeepsItsLowEightBits) {
    Write("[General]\nMax Attributes=4\n[Attrib0]\nId=449\nName=a\n[Attrib1]\nId=256\nName=b\n"
          "[Attrib2]\nId=-1\nName=c\n[Attrib3]\nId=abc\nName=d\n");
    const health::AttributeSettings store = Load();
    ASSERT_EQ(store.size(), 3u);
    EXPECT_EQ(store.FindSetting(193)->name, "a");
    EXPECT_EQ(store.FindSetting(193)->id, 193);
    EXPECT_EQ(store.FindSetting(0)->name, "b");  // "abc" reads 0 too, but comes later
    EXPECT_EQ(store.FindSetting(255)->name, "c");
}

TEST_F(SettingsFile, LongTextsAreCutAt1023Characters) {
    const std::string longName(3000, 'n');
    const std::string exact(1023, 'd');
    Write("[General]\nMax Attributes=1\n[Attrib0]\nId=3\nName=" + longName + "\nDetails=" + exact + "\n");
    const health::AttributeSettings store = Load();
    ASSERT_NE(store.FindSetting(3), nullptr);
    EXPECT_EQ(store.FindSetting(3)->name, std::string(1023, 'n'));
    EXPECT_EQ(store.FindSetting(3)->details, exact);
}

TEST_F(SettingsFile, SectionNamesCompareWithoutCaseButExactly) {
    const std::string text = "[general]\nmax attributes=4\n[ATTRIB0]\nID=10\n[attrib01]\nId=11\n"
                             "[ Attrib2 ]\nId=12\n[Attrib3x]\nId=13\n[Attrib3]\nId=14\n";
    Write(text);
    const health::AttributeSettings store = Load();
    ExpectSameStore(store, ReadEverySection(text));
    EXPECT_NE(store.FindSetting(10), nullptr);
    EXPECT_EQ(store.FindSetting(11), nullptr);
    EXPECT_NE(store.FindSetting(0), nullptr);
}

TEST_F(SettingsFile, ReloadingReplacesTheStore) {
    Write("[General]\nMax Attributes=1\n[Attrib0]\nId=42\n");
    health::AttributeSettings store = Load();
    ASSERT_NE(store.FindSetting(42), nullptr);
    fs::remove(dir_ / "varim.ini");
    health::LoadAttributeSettings(store, exe_);
    EXPECT_EQ(store.size(), 0u);
}

TEST_F(SettingsFile, HugeCountGivesTheSameStoreQuickly) {
    std::string text = "[General]\nMax Attributes=2000000000\n";
    // Sparse sections, an id-0 section after the first gap, a duplicate and a section far out.
    for (int i : {0, 1, 2, 4, 5, 9, 70, 1999999999}) {
        text += "[Attrib" + std::to_string(i) + "]\nId=" + std::to_string(i == 5 ? 0 : (i % 200) + 1) +
                "\nCritical=" + std::to_string(i) + "\nName=n" + std::to_string(i) + "\n";
    }
    text += "[Attrib9]\nId=99\n";
    Write(text);
    const auto started = std::chrono::steady_clock::now();
    const health::AttributeSettings store = Load();
    const auto elapsed = std::chrono::steady_clock::now() - started;
    // Reading all two thousand million sections would take minutes; this bound only catches that.
    EXPECT_LT(elapsed, std::chrono::seconds(20));

    std::string reference = text;
    reference.replace(reference.find("2000000000"), 10, "100");
    health::AttributeSettings expected = ReadEverySection(reference);
    health::AttributeSetting far;
    far.id = static_cast<std::uint8_t>(1999999999 % 200 + 1);
    far.critical = 1999999999;
    far.name = "n1999999999";
    expected.insert(far);
    ExpectSameStore(store, expected);
    EXPECT_EQ(store.FindSetting(0)->name, "");  // the missing Attrib3, not Attrib5
}

TEST_F(SettingsFile, MissingEmptyOrDirectoryFileGivesAnEmptyStore) {
    EXPECT_EQ(Load().size(), 0u);
    Write("");
    EXPECT_EQ(Load().size(), 0u);
    fs::remove(dir_ / "varim.ini");
    fs::create_directory(dir_ / "varim.ini");
    EXPECT_EQ(Load().size(), 0u);
}

TEST_F(SettingsFile, BinaryAndHugeFilesAreSurvived) {
    std::mt19937 random(7);
    std::string noise(6 * 1024 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random() & 0xFF);
    Write(noise);
    EXPECT_LE(Load().size(), 256u);

    // Noise around a valid header: what the reader accepts still obeys the rules.
    const std::string text = noise.substr(0, 1 << 20) + "\n[General]\nMax Attributes=999999\n" +
                             noise.substr(1 << 20, 1 << 20) + "\n[Attrib0]\nId=17\nName=\x01\x02\xFF\n" +
                             noise.substr(2 << 20, 1 << 20) + "\n[Attrib2]\nId=18\n";
    Write(text);
    const health::AttributeSettings store = Load();
    EXPECT_NE(store.FindSetting(0), nullptr);
    ASSERT_NE(store.FindSetting(17), nullptr);
    EXPECT_EQ(store.FindSetting(17)->name, "\x01\x02\xFF");
    EXPECT_NE(store.FindSetting(18), nullptr);

    // Many megabytes of sections.
    std::string many = "[General]\nMax Attributes=300000\n";
    for (int i = 0; i < 300000; ++i) many += "[Attrib" + std::to_string(i) + "]\nId=" + std::to_string(i) + "\n";
    Write(many);
    EXPECT_EQ(Load().size(), 256u);
}

}  // namespace
