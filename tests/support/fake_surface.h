#pragma once
// A scriptable Surface for tests: it keeps every control's state, records message boxes, file
// dialogs and titles, answers from a script, and lets a test act at an exact pump step (press
// Stop, Exit, click a row) the way a user would between two disk operations.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace testsupport {

struct FakeControl {
    std::string text;
    bool shown = true;
    bool enabled = true;
    bool sorted = false;
    // list box
    std::vector<std::string> items;
    std::vector<std::intptr_t> itemData;
    int selection = -1;
    // list view
    std::vector<std::pair<std::string, int>> columns;  // heading, width
    std::vector<std::vector<std::string>> rows;
    int selectionMark = -1;
    platform::DWORD extendedStyle = 0;
    int clientWidth = 400;
    // progress bar, slider, hover button
    int position = 0;
    std::vector<int> positionHistory;
    int tickFrequency = 0;
    platform::DWORD thumbNormal = 0, thumbActive = 0;
    int strip = 0;
    std::string tooltip;
};

struct MessageBoxCall {
    std::string text;
    std::string caption;
    platform::DWORD type = 0;
    int answer = 0;
    int pumpStep = 0;  // pump steps seen before it opened
};

class FakeSurface : public platform::Surface {
public:
    FakeSurface();

    // Script: how message boxes answer (default: IDOK for MB_OK, IDNO for MB_YESNO).
    std::function<int(const MessageBoxCall&)> answerMessageBox;
    // Script: the file dialog's choice (default: cancelled).
    std::function<std::optional<std::string>(const platform::FileDialogRequest&)> answerFileDialog;
    // Called at every pump step with its 1-based number, before returning.
    std::function<void(int step)> onPump;
    // Answers YES to a message box whose text contains `needle`, the default otherwise.
    void answerYesTo(std::string needle);

    FakeControl& control(int id) { return controls[id]; }
    std::vector<std::string> messageTexts() const;

    std::map<int, FakeControl> controls;
    std::string currentTitle;
    std::vector<std::string> titles;  // every title set, in order
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<platform::FileDialogRequest> fileDialogs;
    int pumpSteps = 0;
    int repaints = 0;
    bool backgroundLoaded = false;
    bool iconSet = false;
    bool failBackground = false;

    // Surface
    std::string controlText(int id) override;
    void setControlText(int id, std::string_view text) override;
    void showControl(int id, bool shown) override;
    void enableControl(int id, bool enabled) override;
    int listAddString(int id, std::string_view text) override;
    void listClear(int id) override;
    int listCount(int id) override;
    std::string listText(int id, int index) override;
    void listSetItemData(int id, int index, std::intptr_t data) override;
    std::intptr_t listItemData(int id, int index) override;
    int listSelection(int id) override;
    void listSetSelection(int id, int index) override;
    void viewDeleteAllItems(int id) override;
    void viewAddExtendedStyle(int id, platform::DWORD style) override;
    int viewColumnCount(int id) override;
    void viewDeleteColumn(int id, int column) override;
    int viewClientWidth(int id) override;
    void viewInsertColumn(int id, int column, std::string_view heading, int width) override;
    int viewInsertItem(int id, int row, std::string_view text) override;
    void viewSetItemText(int id, int row, int column, std::string_view text) override;
    int viewSelectionMark(int id) override;
    void setProgressPosition(int id, int position) override;
    void setSliderTickFrequency(int id, int frequency) override;
    void setSliderThumbColours(int id, platform::DWORD normal, platform::DWORD active) override;
    void setUpHoverButton(int id, int stripResource, std::string_view tooltip) override;
    bool loadBackground(int bitmapResource) override;
    void setWindowIcon() override;
    void setTitle(std::string_view title) override;
    std::string title() override;
    void requestRepaint() override;
    int messageBox(std::string_view text, std::string_view caption, platform::DWORD type) override;
    std::optional<std::string> fileDialog(const platform::FileDialogRequest& request) override;
    void pumpOneMessage() override;
};

}  // namespace testsupport
