// The Stop and Open session commands and the session file: exact dialogs and texts, round
// trips, and files that are refused before anything is created or changed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fake_surface.h"
#include "platform/win_types.h"
#include "scan/scan_session.h"
#include "scan_rig.h"

namespace scantest {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        folder_ = fs::temp_directory_path() / ("varim-session-" + std::to_string(::getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    ~SessionTest() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    std::string Contents(const std::string& path) const {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    void Write(const std::string& path, const std::string& bytes) const {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Answers Yes to both Stop questions and picks `chosen` in the save dialog.
    void AgreeToSaveAs(const std::string& chosen) {
        surface_.answerYesTo("Do you want to stop the scanning process?");
        surface_.answerYesTo("Do you want to save current sesion");
        surface_.answerFileDialog = [chosen](const platform::FileDialogRequest&) { return chosen; };
    }
    void OpenChoosing(const std::string& chosen) {
        surface_.answerFileDialog = [chosen](const platform::FileDialogRequest&) { return chosen; };
        session_.OpenSession();
    }

    fs::path folder_;
    testsupport::FakeSurface surface_;
    scan::ScanState state_;
    scan::ScanSession session_{surface_, state_};
};

TEST_F(SessionTest, StopAsksTwiceAndSavesPositionAndEndWithTheExtensionAppended) {
    state_.currentLba = 1200;
    surface_.setControlText(kEndField, "5000");
    AgreeToSaveAs(Path("mine"));
    session_.Stop();

    EXPECT_TRUE(state_.stopRequested);
    ASSERT_EQ(surface_.messageBoxes.size(), 2u);
    EXPECT_EQ(surface_.messageBoxes[0].text, "Do you want to stop the scanning process?");
    EXPECT_EQ(surface_.messageBoxes[0].caption, "Press yes if you want to stop the scanning! ");
    EXPECT_EQ(surface_.messageBoxes[0].type, platform::MB_YESNO);
    EXPECT_EQ(surface_.messageBoxes[1].text,
              "Do you want to save current sesion in order to start latter the scanning process ?");
    EXPECT_EQ(surface_.messageBoxes[1].caption, "Press yes if you want to save current session. ");
    EXPECT_EQ(surface_.messageBoxes[1].type, platform::MB_YESNO);
    ASSERT_EQ(surface_.fileDialogs.size(), 1u);
    EXPECT_EQ(surface_.fileDialogs[0].title, "Save current session");
    EXPECT_EQ(surface_.fileDialogs[0].filterDescription, "Varim hard disk session");
    EXPECT_EQ(surface_.fileDialogs[0].filterPattern, "*.qsx");
    EXPECT_TRUE(surface_.fileDialogs[0].forSaving);
    EXPECT_EQ(Contents(Path("mine.qsx")), "1200\r\n5000");
    EXPECT_THAT(FolderEntries(), ElementsAre("mine.qsx"));  // no temporary file left behind
}

TEST_F(SessionTest, StopDeclinedSaveDeclinedOrCancelledWritesNothing) {
    session_.Stop();  // default answers: No
    EXPECT_FALSE(state_.stopRequested);
    EXPECT_EQ(surface_.messageBoxes.size(), 1u);

    surface_.answerYesTo("Do you want to stop the scanning process?");
    session_.Stop();
    EXPECT_TRUE(state_.stopRequested);
    EXPECT_TRUE(surface_.fileDialogs.empty());

    state_.stopRequested = false;
    surface_.answerYesTo("Do you want to save current sesion");
    session_.Stop();  // the dialog is cancelled by default
    EXPECT_TRUE(state_.stopRequested);
    EXPECT_EQ(surface_.fileDialogs.size(), 1u);
    EXPECT_THAT(FolderEntries(), IsEmpty());
}

TEST_F(SessionTest, NameEndingInQsxGetsASecondQsx) {
    surface_.setControlText(kEndField, "100");
    AgreeToSaveAs(Path("old.qsx"));
    session_.Stop();
    EXPECT_THAT(FolderEntries(), ElementsAre("old.qsx.qsx"));
}

TEST_F(SessionTest, ValuesFollowTheNumberCheck) {
    state_.currentLba = 0;
    surface_.setControlText(kEndField, "0345");
    AgreeToSaveAs(Path("a"));
    session_.Stop();
    EXPECT_EQ(Contents(Path("a.qsx")), "0\r\n0");

    state_.currentLba = 4294968196;  // past 2^32
    surface_.setControlText(kEndField, "4294968296");
    AgreeToSaveAs(Path("b"));
    session_.Stop();
    EXPECT_EQ(Contents(Path("b.qsx")), "4294968196\r\n4294968296");
}

TEST_F(SessionTest, RefusedEndValueCreatesNothingAndKeepsAnExistingFile) {
    Write(Path("keep.qsx"), "100\r\n200");
    surface_.setControlText(kEndField, "12a");
    AgreeToSaveAs(Path("keep"));
    session_.Stop();
    EXPECT_TRUE(state_.stopRequested);  // the scan still stops
    ASSERT_EQ(surface_.messageBoxes.size(), 3u);
    EXPECT_EQ(surface_.messageBoxes[2].text, "Start sector is not a valid numeric value");
    EXPECT_EQ(surface_.messageBoxes[2].caption, "Varim HDD Repair");
    EXPECT_EQ(surface_.messageBoxes[2].type, platform::MB_OK);
    EXPECT_EQ(Contents(Path("keep.qsx")), "100\r\n200");
    EXPECT_THAT(FolderEntries(), ElementsAre("keep.qsx"));

    surface_.setControlText(kEndField, "12345678901234567890");  // longer than a session holds
    AgreeToSaveAs(Path("long"));
    session_.Stop();
    EXPECT_EQ(surface_.messageBoxes.back().text, "Start sector is not a valid numeric value");
    EXPECT_THAT(FolderEntries(), ElementsAre("keep.qsx"));
}

TEST_F(SessionTest, SaveThatCannotBeWrittenSaysWhereAndWhichSectorToResumeFrom) {
    state_.currentLba = 7700;
    surface_.setControlText(kEndField, "9000");
    AgreeToSaveAs(Path("missing-folder/s"));
    session_.Stop();
    EXPECT_TRUE(state_.stopRequested);
    const auto& shown = surface_.messageBoxes.back();
    EXPECT_THAT(shown.text, HasSubstr("missing-folder/s.qsx"));
    EXPECT_THAT(shown.text, HasSubstr("7700"));
    EXPECT_EQ(shown.caption, "Varim Hard Disk Repair");
    EXPECT_THAT(FolderEntries(), IsEmpty());
}

TEST_F(SessionTest, SaveSessionWritesExactlyToThePathGivenAndReplacesAWholeFile) {
    Write(Path("given"), "999999\r\n999999");
    state_.currentLba = 300;
    surface_.setControlText(kEndField, "1000");
    EXPECT_TRUE(session_.SaveSession(Path("given")));
    EXPECT_EQ(Contents(Path("given")), "300\r\n1000");
    EXPECT_THAT(FolderEntries(), ElementsAre("given"));
    struct stat info {};
    ASSERT_EQ(::stat(Path("given").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IRUSR, 0u);
}

TEST_F(SessionTest, OpenSessionRoundTripsThroughANonAsciiFolder) {
    // The dialog hands over the file system's bytes (UTF-8 here): "séances Ж/séance".
    const fs::path folder = folder_ / "s\xC3\xA9" "ances \xD0\x96";
    fs::create_directories(folder);
    state_.currentLba = 1200;
    surface_.setControlText(kEndField, "5000");
    AgreeToSaveAs((folder / "s\xC3\xA9" "ance").string());
    session_.Stop();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    EXPECT_THAT(names, ElementsAre("s\xC3\xA9" "ance.qsx"));

    surface_.setControlText(kStartField, "0");
    surface_.setControlText(kEndField, "77");
    OpenChoosing((folder / "s\xC3\xA9" "ance.qsx").string());
    EXPECT_EQ(surface_.controlText(kStartField), "1200");
    EXPECT_EQ(surface_.controlText(kEndField), "5000");
    const auto& dialog = surface_.fileDialogs.back();
    EXPECT_EQ(dialog.title, "Open previously saved session");
    EXPECT_EQ(dialog.filterDescription, "Varim Hard Disk Repair session");
    EXPECT_EQ(dialog.filterPattern, "*.qsx");
    EXPECT_FALSE(dialog.forSaving);

    // A message names the file in the window's own text encoding.
    Write((folder / "s\xC3\xA9" "ance.qsx").string(), "not a session");
    OpenChoosing((folder / "s\xC3\xA9" "ance.qsx").string());
    EXPECT_THAT(surface_.messageBoxes.back().text, HasSubstr("/s\xE9" "ances ?/s\xE9" "ance.qsx is not a valid"));
}

TEST_F(SessionTest, OpenSessionCancelledOrUnreadableLeavesTheFields) {
    surface_.setControlText(kStartField, "10");
    surface_.setControlText(kEndField, "20");
    session_.OpenSession();  // cancelled
    EXPECT_TRUE(surface_.messageBoxes.empty());
    OpenChoosing(Path("absent.qsx"));
    ASSERT_EQ(surface_.messageBoxes.size(), 1u);
    EXPECT_EQ(surface_.messageBoxes[0].text, "Varim Hard Disk Repair");
    EXPECT_EQ(surface_.messageBoxes[0].caption, "Cannot Open file");
    EXPECT_EQ(surface_.messageBoxes[0].type, platform::MB_OK);
    OpenChoosing(folder_.string());  // a folder opens but cannot be read
    EXPECT_EQ(surface_.messageBoxes.back().caption, "Cannot Open file");
    EXPECT_EQ(surface_.controlText(kStartField), "10");
    EXPECT_EQ(surface_.controlText(kEndField), "20");
}

TEST_F(SessionTest, InvalidSessionFilesAreRefusedWithAMessageAndTheFieldsUnchanged) {
    const std::vector<std::string> invalid = {
        "",                                            // empty
        "1200",                                        // no CR LF
        "1200\n5000",                                  // LF alone
        "1200\r\n5000\r\n",                            // a line break after the end
        "12a0\r\n5000",                                // not digits
        "1200\r\n50 00",                               //
        "\r\n5000",                                    // no resume digits
        "1234567890123456789\r\n5",                    // 19 resume digits: CR past the first piece
        "1\r\n12345678901234567890",                   // 20 end digits
        "1\r\n99999999999999999",                      // beyond any sector
        std::string("12\0\r\n50", 7),                  // binary
        std::string(5000, '7'),                        // huge
    };
    surface_.setControlText(kStartField, "10");
    surface_.setControlText(kEndField, "20");
    int file = 0;
    for (const std::string& bytes : invalid) {
        const std::string path = Path("bad" + std::to_string(file++) + ".qsx");
        Write(path, bytes);
        const std::size_t before = surface_.messageBoxes.size();
        OpenChoosing(path);
        ASSERT_EQ(surface_.messageBoxes.size(), before + 1) << "file " << file - 1;
        EXPECT_THAT(surface_.messageBoxes.back().text, HasSubstr("is not a valid session file"));
        EXPECT_EQ(surface_.messageBoxes.back().caption, "Varim Hard Disk Repair");
        EXPECT_EQ(surface_.controlText(kStartField), "10") << "file " << file - 1;
        EXPECT_EQ(surface_.controlText(kEndField), "20") << "file " << file - 1;
        EXPECT_FALSE(scan::ParseSessionFile(bytes).has_value()) << "file " << file - 1;
    }
}

TEST(SessionFile, ValidFilesAtTheLimits) {
    // The largest sector a field takes, and 18 resume characters (the CR ends the first piece).
    auto values = scan::ParseSessionFile("36028797018963967\r\n36028797018963967");
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->resumeText, "36028797018963967");
    EXPECT_EQ(values->endText, "36028797018963967");
    EXPECT_TRUE(scan::ParseSessionFile("000000000000001200\r\n5000").has_value());
    EXPECT_FALSE(scan::ParseSessionFile("36028797018963968\r\n5000").has_value());
    values = scan::ParseSessionFile("0\r\n0");
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->resumeText, "0");
    // An end field that was empty when saved comes back empty.
    values = scan::ParseSessionFile("1200\r\n");
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->endText, "");
}

}  // namespace
}  // namespace scantest
