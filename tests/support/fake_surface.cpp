#include "fake_surface.h"

#include <algorithm>

#include "app/list_order.h"

namespace testsupport {

using platform::DWORD;

FakeSurface::FakeSurface() {
    answerMessageBox = [](const MessageBoxCall& call) {
        return (call.type & 0xF) == platform::MB_YESNO ? platform::IDNO : platform::IDOK;
    };
    answerFileDialog = [](const platform::FileDialogRequest&) { return std::nullopt; };
}

void FakeSurface::answerYesTo(std::string needle) {
    auto previous = answerMessageBox;
    answerMessageBox = [needle, previous](const MessageBoxCall& call) {
        if (call.text.find(needle) != std::string::npos) return platform::IDYES;
        return previous(call);
    };
}

std::vector<std::string> FakeSurface::messageTexts() const {
    std::vector<std::string> texts;
    for (const auto& call : messageBoxes) texts.push_back(call.text);
    return texts;
}

std::string FakeSurface::controlText(int id) { return controls[id].text; }
void FakeSurface::setControlText(int id, std::string_view text) { controls[id].text = std::string(text); }
void FakeSurface::showControl(int id, bool shown) { controls[id].shown = shown; }
void FakeSurface::enableControl(int id, bool enabled) { controls[id].enabled = enabled; }

int FakeSurface::listAddString(int id, std::string_view text) {
    FakeControl& c = controls[id];
    std::size_t at = c.items.size();
    if (c.sorted) {
        // A sorted list inserts after every entry that does not sort after the new one.
        at = static_cast<std::size_t>(
            std::upper_bound(c.items.begin(), c.items.end(), std::string(text),
                             [](const std::string& a, const std::string& b) { return app::ListTextLess(a, b); }) -
            c.items.begin());
    }
    c.items.insert(c.items.begin() + static_cast<std::ptrdiff_t>(at), std::string(text));
    c.itemData.insert(c.itemData.begin() + static_cast<std::ptrdiff_t>(at), 0);
    return static_cast<int>(at);
}

void FakeSurface::listClear(int id) {
    controls[id].items.clear();
    controls[id].itemData.clear();
    controls[id].selection = -1;
}
int FakeSurface::listCount(int id) { return static_cast<int>(controls[id].items.size()); }
std::string FakeSurface::listText(int id, int index) {
    FakeControl& c = controls[id];
    if (index < 0 || index >= static_cast<int>(c.items.size())) return {};
    return c.items[static_cast<std::size_t>(index)];
}
void FakeSurface::listSetItemData(int id, int index, std::intptr_t data) {
    FakeControl& c = controls[id];
    if (index >= 0 && index < static_cast<int>(c.itemData.size())) c.itemData[static_cast<std::size_t>(index)] = data;
}
std::intptr_t FakeSurface::listItemData(int id, int index) {
    FakeControl& c = controls[id];
    if (index < 0 || index >= static_cast<int>(c.itemData.size())) return -1;
    return c.itemData[static_cast<std::size_t>(index)];
}
int FakeSurface::listSelection(int id) { return controls[id].selection; }
void FakeSurface::listSetSelection(int id, int index) {
    FakeControl& c = controls[id];
    c.selection = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
}

void FakeSurface::viewDeleteAllItems(int id) {
    controls[id].rows.clear();
    controls[id].selectionMark = -1;
}
void FakeSurface::viewAddExtendedStyle(int id, DWORD style) { controls[id].extendedStyle |= style; }
int FakeSurface::viewColumnCount(int id) { return static_cast<int>(controls[id].columns.size()); }
void FakeSurface::viewDeleteColumn(int id, int column) {
    auto& columns = controls[id].columns;
    if (column >= 0 && column < static_cast<int>(columns.size())) columns.erase(columns.begin() + column);
}
int FakeSurface::viewClientWidth(int id) { return controls[id].clientWidth; }
void FakeSurface::viewInsertColumn(int id, int column, std::string_view heading, int width) {
    auto& columns = controls[id].columns;
    column = std::clamp(column, 0, static_cast<int>(columns.size()));
    columns.insert(columns.begin() + column, {std::string(heading), width});
}
int FakeSurface::viewInsertItem(int id, int row, std::string_view text) {
    auto& rows = controls[id].rows;
    row = std::clamp(row, 0, static_cast<int>(rows.size()));
    rows.insert(rows.begin() + row, std::vector<std::string>{std::string(text)});
    return row;
}
void FakeSurface::viewSetItemText(int id, int row, int column, std::string_view text) {
    auto& rows = controls[id].rows;
    if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0) return;
    auto& cells = rows[static_cast<std::size_t>(row)];
    if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = std::string(text);
}
int FakeSurface::viewSelectionMark(int id) { return controls[id].selectionMark; }

void FakeSurface::setProgressPosition(int id, int position) {
    FakeControl& c = controls[id];
    c.position = std::clamp(position, 0, 100);
    c.positionHistory.push_back(position);
}
void FakeSurface::setSliderTickFrequency(int id, int frequency) { controls[id].tickFrequency = frequency; }
void FakeSurface::setSliderThumbColours(int id, DWORD normal, DWORD active) {
    controls[id].thumbNormal = normal;
    controls[id].thumbActive = active;
}
void FakeSurface::setUpHoverButton(int id, int stripResource, std::string_view tooltip) {
    controls[id].strip = stripResource;
    controls[id].tooltip = std::string(tooltip);
}
bool FakeSurface::loadBackground(int bitmapResource) {
    backgroundLoaded = bitmapResource != 0 && !failBackground;
    return bitmapResource == 0 || !failBackground;
}
void FakeSurface::setWindowIcon() { iconSet = true; }
void FakeSurface::setTitle(std::string_view title) {
    currentTitle = std::string(title);
    titles.push_back(currentTitle);
}
std::string FakeSurface::title() { return currentTitle; }
void FakeSurface::requestRepaint() { ++repaints; }

int FakeSurface::messageBox(std::string_view text, std::string_view caption, DWORD type) {
    MessageBoxCall call{std::string(text), std::string(caption), type, 0, pumpSteps};
    call.answer = answerMessageBox(call);
    messageBoxes.push_back(call);
    return call.answer;
}

std::optional<std::string> FakeSurface::fileDialog(const platform::FileDialogRequest& request) {
    fileDialogs.push_back(request);
    return answerFileDialog(request);
}

void FakeSurface::pumpOneMessage() {
    ++pumpSteps;
    if (onPump) onPump(pumpSteps);
}

}  // namespace testsupport
