#pragma once
// The console tool's Surface: fields and lists are kept in memory; the scan's status line
// becomes a progress line on stderr (redrawn in place on a terminal, at most ten times a
// second), bad block entries print as they are found, message boxes print their text, and the
// mode question is answered from the command line or asked on the terminal.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/silent_surface.h"

namespace cli {

class ConsoleSurface final : public platform::SilentSurface {
public:
    // json: stdout carries one JSON document, so everything else goes to stderr.
    explicit ConsoleSurface(bool json);

    // The answer to the mode question (IDYES regenerate, IDNO standard); unset: ask the terminal.
    std::optional<int> modeAnswer;
    // Runs at each pump step; the scan command checks its signals here.
    std::function<void()> onPump;

    const std::vector<std::int64_t>& badBlocks() const { return badBlocks_; }
    const std::vector<std::string>& messages() const { return messages_; }
    // Prints a line of our own to the human channel (stdout in text mode, stderr in JSON mode).
    void say(const std::string& cp1252Line);
    // Ends the progress line so that later output starts on a clean line.
    void endProgressLine();

    // Surface: what the console shows or keeps
    std::string controlText(int id) override;
    void setControlText(int id, std::string_view text) override;
    int listAddString(int id, std::string_view text) override;
    void listClear(int id) override;
    int listCount(int id) override;
    std::string listText(int id, int index) override;
    void listSetItemData(int id, int index, std::intptr_t data) override;
    std::intptr_t listItemData(int id, int index) override;
    int listSelection(int id) override;
    void listSetSelection(int id, int index) override;
    void setTitle(std::string_view title) override;
    std::string title() override { return title_; }
    int messageBox(std::string_view text, std::string_view caption, platform::DWORD type) override;
    void pumpOneMessage() override;

private:
    struct ListBox {
        std::vector<std::string> items;
        std::vector<std::intptr_t> data;
        int selection = -1;
    };
    std::FILE* human() const { return json_ ? stderr : stdout; }
    void drawProgress(std::string_view line);

    bool json_;
    bool stderrIsTerminal_;
    bool progressShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::string title_;
    std::map<int, std::string> texts_;
    std::map<int, ListBox> lists_;
    std::vector<std::int64_t> badBlocks_;
    std::vector<std::string> messages_;
};

}  // namespace cli
