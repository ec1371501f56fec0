#pragma once
// A private folder for targets whose parser reads files: made once per process under TMPDIR,
// emptied between inputs and removed when the process ends normally.
#include <string>

namespace fuzz {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Removes everything inside the folder, keeping the folder.
    void clear() const;
    // Writes bytes to a file below the folder (relative path), making its folders.
    void write(const std::string& relative, const std::string& bytes) const;
    // Makes a folder below the folder (relative path) with its parents.
    void makeDir(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace fuzz
