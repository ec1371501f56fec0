// The one durable file write behind session files, metrics files and journal entries: the whole
// new content or the old, the asked permissions, nothing left behind, never through a link.
#include "platform/linux/durable_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "temp_tree.h"

namespace {

namespace fs = std::filesystem;
using platform::linux::DurableResult;
using platform::linux::DurableStep;
using platform::linux::DurableWrite;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(DurableFile, WritesTheWholeContentWithTheAskedModeAndLeavesNothingElse) {
    const mode_t mask = ::umask(027);
    struct Case {
        const char* temporary;
        unsigned mode;
        bool umaskApplies;
        bool replace;
        bool existing;
        bool done;
        unsigned finalMode;
    };
    const std::vector<Case> cases{
        {"t.XXXXXX", 0644, false, true, true, true, 0644},        // metrics: readable by a collector
        {".s-XXXXXX", 0666, true, true, true, true, 0640},        // session: as any new file
        {"e.part", 0600, false, false, false, true, 0600},        // journal entry
        {"e.part", 0600, false, false, true, false, 0644},        // an entry is never replaced
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.temporary) + (c.existing ? " over an existing file" : ""));
        TempTree tree;
        if (c.existing) {
            tree.write("target", "old");
            ::chmod(tree.path("target").c_str(), 0644);
        }
        const int folder = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DurableWrite how;
        how.folderFd = folder;
        how.name = "target";
        how.temporary = c.temporary;
        how.mode = c.mode;
        how.umaskApplies = c.umaskApplies;
        how.replace = c.replace;
        DurableResult result;
        EXPECT_EQ(platform::linux::WriteFileDurably(how, "new content", 11, result), c.done);
        ::close(folder);
        EXPECT_EQ(Slurp(tree.path("target")), c.done ? "new content" : "old");
        EXPECT_EQ(ModeOf(tree.path("target")), c.finalMode);
        EXPECT_EQ(Names(tree.root()), std::vector<std::string>{"target"});
        if (!c.done) {
            EXPECT_EQ(result.failed, DurableStep::Place);
            EXPECT_EQ(result.error, EEXIST);
        }
    }
    ::umask(mask);
}

TEST(DurableFile, APlantedLinkAtTheTemporaryNameIsRemovedNotFollowedAndAKeptFileStaysLocked) {
    TempTree tree;
    tree.write("victim", "precious");
    fs::create_symlink(tree.path("victim"), tree.path("e.part"));
    const int folder = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DurableWrite how;
    how.folderFd = folder;
    how.name = "e";
    how.temporary = "e.part";
    how.replace = false;
    how.keepOpen = true;
    DurableResult result;
    ASSERT_TRUE(platform::linux::WriteFileDurably(how, "entry", 5, result)) << std::strerror(result.error);
    ::close(folder);
    EXPECT_EQ(Slurp(tree.path("victim")), "precious");
    EXPECT_EQ(Slurp(tree.path("e")), "entry");
    EXPECT_EQ(Names(tree.root()), (std::vector<std::string>{"e", "victim"}));
    ASSERT_GE(result.fd, 0);
    const int other = ::open(tree.path("e").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << "the entry is held by its writer";
    ::close(other);
    ::close(result.fd);
}

TEST(DurableFile, APathInAMissingFolderFailsAtOpeningIt) {
    TempTree tree;
    DurableResult result;
    EXPECT_FALSE(platform::linux::ReplaceFileDurably(tree.path("none/file"), "f.XXXXXX", 0644, false, "x", result));
    EXPECT_EQ(result.failed, DurableStep::OpenFolder);
    EXPECT_EQ(result.error, ENOENT);
}

}  // namespace
