#include "cli/console_surface.h"

#include <unistd.h>

#include <charconv>
#include <cstring>
#include <iostream>

#include "app/control_ids.h"
#include "platform/text_codec.h"

namespace cli {
namespace {

constexpr std::string_view kBadEntryPrefix = "Bad sector LBA: ";
constexpr std::string_view kModeQuestionStart = "Do you want to regenerate";
constexpr auto kTerminalRedraw = std::chrono::milliseconds(100);  // at most ten redraws a second
constexpr auto kLogRedraw = std::chrono::seconds(10);             // a line now and then in a log

}  // namespace

ConsoleSurface::ConsoleSurface(bool json) : json_(json), stderrIsTerminal_(isatty(STDERR_FILENO) == 1) {}

void ConsoleSurface::say(const std::string& cp1252Line) {
    endProgressLine();
    std::string line = platform::cp1252ToUtf8(cp1252Line);
    std::fprintf(human(), "%s\n", line.c_str());
    std::fflush(human());
}

void ConsoleSurface::endProgressLine() {
    if (!progressShown_) return;
    if (stderrIsTerminal_) std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    progressShown_ = false;
}

std::string ConsoleSurface::controlText(int id) {
    auto it = texts_.find(id);
    return it == texts_.end() ? std::string() : it->second;
}

void ConsoleSurface::setControlText(int id, std::string_view text) { texts_[id] = std::string(text); }

int ConsoleSurface::listAddString(int id, std::string_view text) {
    ListBox& list = lists_[id];
    list.items.emplace_back(text);
    list.data.push_back(0);
    if (id == app::ids::kInfoList && text.substr(0, kBadEntryPrefix.size()) == kBadEntryPrefix) {
        std::string_view digits = text.substr(kBadEntryPrefix.size());
        std::int64_t lba = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), lba);
        badBlocks_.push_back(lba);
        say(std::string(text));
    } else if (id == app::ids::kInfoList) {
        say(std::string(text));  // what the scan has to say about the repair journal
    }
    return static_cast<int>(list.items.size()) - 1;
}

void ConsoleSurface::listClear(int id) { lists_[id] = ListBox{}; }
int ConsoleSurface::listCount(int id) { return static_cast<int>(lists_[id].items.size()); }
std::string ConsoleSurface::listText(int id, int index) {
    const ListBox& list = lists_[id];
    if (index < 0 || index >= static_cast<int>(list.items.size())) return {};
    return list.items[static_cast<std::size_t>(index)];
}
void ConsoleSurface::listSetItemData(int id, int index, std::intptr_t data) {
    ListBox& list = lists_[id];
    if (index >= 0 && index < static_cast<int>(list.data.size())) list.data[static_cast<std::size_t>(index)] = data;
}
std::intptr_t ConsoleSurface::listItemData(int id, int index) {
    const ListBox& list = lists_[id];
    if (index < 0 || index >= static_cast<int>(list.data.size())) return -1;
    return list.data[static_cast<std::size_t>(index)];
}
int ConsoleSurface::listSelection(int id) { return lists_[id].selection; }
void ConsoleSurface::listSetSelection(int id, int index) { lists_[id].selection = index; }

void ConsoleSurface::setTitle(std::string_view title) {
    title_ = std::string(title);
    // The scan puts its status line in the title; its other titles end the progress display.
    if (title.find("Sector:") == std::string_view::npos) {
        endProgressLine();
        return;
    }
    drawProgress(title);
}

void ConsoleSurface::drawProgress(std::string_view line) {
    auto now = std::chrono::steady_clock::now();
    auto interval = stderrIsTerminal_ ? kTerminalRedraw : kLogRedraw;
    if (lastDraw_.time_since_epoch().count() != 0 && now - lastDraw_ < interval) return;
    lastDraw_ = now;
    std::string text = platform::cp1252ToUtf8(line);
    if (stderrIsTerminal_) {
        std::fprintf(stderr, "\r\x1b[K%s", text.c_str());
        progressShown_ = true;
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
}

int ConsoleSurface::messageBox(std::string_view text, std::string_view caption, platform::DWORD type) {
    messages_.emplace_back(text);
    bool yesNo = (type & 0xF) == platform::MB_YESNO;
    if (yesNo && text.substr(0, kModeQuestionStart.size()) == kModeQuestionStart) {
        if (modeAnswer) return *modeAnswer;
        endProgressLine();
        std::fprintf(stderr, "%s\n[y = regenerate all, n = standard scan & repair] ",
                     platform::cp1252ToUtf8(text).c_str());
        std::fflush(stderr);
        std::string answer;
        std::getline(std::cin, answer);
        return (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y')) ? platform::IDYES : platform::IDNO;
    }
    std::string shown(text);
    if (!caption.empty() && caption != "Varim Hard Disk Repair") shown = std::string(caption) + ": " + shown;
    say(shown);
    return yesNo ? platform::IDNO : platform::IDOK;
}

void ConsoleSurface::pumpOneMessage() {
    if (onPump) onPump();
}

}  // namespace cli
