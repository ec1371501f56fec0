#pragma once
// A Surface with no window behind it: every control call does nothing, questions are answered
// No and notices OK, dialogs are cancelled. Windows without views (the console tool, benchmarks,
// tests) derive from it and override what they show.
#include "platform/surface.h"

namespace platform {

class SilentSurface : public Surface {
public:
    std::string controlText(int) override { return {}; }
    void setControlText(int, std::string_view) override {}
    void showControl(int, bool) override {}
    void enableControl(int, bool) override {}
    int listAddString(int, std::string_view) override { return 0; }
    void listClear(int) override {}
    int listCount(int) override { return 0; }
    std::string listText(int, int) override { return {}; }
    void listSetItemData(int, int, std::intptr_t) override {}
    std::intptr_t listItemData(int, int) override { return -1; }
    int listSelection(int) override { return -1; }
    void listSetSelection(int, int) override {}
    void viewDeleteAllItems(int) override {}
    void viewAddExtendedStyle(int, DWORD) override {}
    int viewColumnCount(int) override { return 0; }
    void viewDeleteColumn(int, int) override {}
    int viewClientWidth(int) override { return 0; }
    void viewInsertColumn(int, int, std::string_view, int) override {}
    int viewInsertItem(int, int row, std::string_view) override { return row; }
    void viewSetItemText(int, int, int, std::string_view) override {}
    int viewSelectionMark(int) override { return -1; }
    void setProgressPosition(int, int) override {}
    void setSliderTickFrequency(int, int) override {}
    void setSliderThumbColours(int, DWORD, DWORD) override {}
    void setUpHoverButton(int, int, std::string_view) override {}
    bool loadBackground(int) override { return true; }
    void setWindowIcon() override {}
    void setTitle(std::string_view) override {}
    std::string title() override { return {}; }
    void requestRepaint() override {}
    int messageBox(std::string_view, std::string_view, DWORD type) override {
        return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
    std::optional<std::string> fileDialog(const FileDialogRequest&) override { return std::nullopt; }
    void pumpOneMessage() override {}
};

}  // namespace platform
