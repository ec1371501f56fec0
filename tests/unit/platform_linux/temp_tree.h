#pragma once
// A temporary directory removed with everything in it when the test ends, and small file
// helpers for building fake sysfs trees and disk images.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class TempTree {
public:
    explicit TempTree(const std::string& parent = std::filesystem::temp_directory_path().string()) {
        std::string pattern = parent + "/varim-linux-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    }
    ~TempTree() {
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    // Writes text to root/relative, creating the folders on the way.
    void write(const std::string& relative, const std::string& text) const {
        const std::filesystem::path file = path(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    void makeDir(const std::string& relative) const { std::filesystem::create_directories(path(relative)); }

    // A disk image of `sectors` sectors; sector s is filled with the byte (s * 7 + 1) & 0xFF
    // so every sector is told apart from its neighbours.
    std::string makeImage(const std::string& relative, std::uint64_t sectors) const {
        std::vector<std::uint8_t> data(sectors * 512);
        for (std::uint64_t s = 0; s < sectors; ++s)
            std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(s * 512), 512, patternByte(s));
        std::ofstream(path(relative), std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        return path(relative);
    }
    static std::uint8_t patternByte(std::uint64_t sector) { return static_cast<std::uint8_t>((sector * 7 + 1) & 0xFF); }

private:
    std::string root_;
};

// The bytes of a file, read past the page cache where the filesystem allows it.
std::vector<std::uint8_t> readFileBytes(const std::string& path, std::uint64_t offset, std::size_t bytes);
