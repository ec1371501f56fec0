#pragma once
// The window system as far as the dialog logic, the scan and the session commands use it.
// Controls are named by their template ids; texts are Windows-1252 byte strings. Three
// implementations: the Qt window, the console tool and the scriptable test fake.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace platform {

struct FileDialogRequest {
    std::string title;              // e.g. "Save current session"
    std::string filterDescription;  // e.g. "Varim hard disk session"
    std::string filterPattern;      // "*.qsx"
    bool forSaving = false;         // the chosen name need not exist yet
};

class Surface {
public:
    virtual ~Surface() = default;

    // Window text of a control (edit fields); empty for an unknown id.
    virtual std::string controlText(int id) = 0;
    // SetWindowText of a control; ignored for an unknown id.
    virtual void setControlText(int id, std::string_view text) = 0;
    // ShowWindow SW_SHOW / SW_HIDE of a control.
    virtual void showControl(int id, bool shown) = 0;
    // EnableWindow of a control.
    virtual void enableControl(int id, bool enabled) = 0;

    // List boxes. addString returns the index the entry got (sorted lists place it by their
    // own order), clearList deletes every entry, selection is -1 when nothing is selected.
    virtual int listAddString(int id, std::string_view text) = 0;
    virtual void listClear(int id) = 0;
    virtual int listCount(int id) = 0;
    virtual std::string listText(int id, int index) = 0;
    virtual void listSetItemData(int id, int index, std::intptr_t data) = 0;
    virtual std::intptr_t listItemData(int id, int index) = 0;
    virtual int listSelection(int id) = 0;
    virtual void listSetSelection(int id, int index) = 0;

    // The report-style list view (attribute view).
    virtual void viewDeleteAllItems(int id) = 0;
    virtual void viewAddExtendedStyle(int id, DWORD style) = 0;
    virtual int viewColumnCount(int id) = 0;
    virtual void viewDeleteColumn(int id, int column) = 0;
    virtual int viewClientWidth(int id) = 0;
    virtual void viewInsertColumn(int id, int column, std::string_view heading, int width) = 0;
    virtual int viewInsertItem(int id, int row, std::string_view text) = 0;
    virtual void viewSetItemText(int id, int row, int column, std::string_view text) = 0;
    // LVM_GETSELECTIONMARK: the marked row, or -1.
    virtual int viewSelectionMark(int id) = 0;

    // PBM_SETPOS of a progress bar (the control clamps to its 0..100 range).
    virtual void setProgressPosition(int id, int position) = 0;
    // TBM_SETTICFREQ and the thumb colours (0x00BBGGRR) of a slider.
    virtual void setSliderTickFrequency(int id, int frequency) = 0;
    virtual void setSliderThumbColours(int id, DWORD normal, DWORD active) = 0;
    // SetFrameBitmap(strip) then SetTipText(tip, true) of a hover button.
    virtual void setUpHoverButton(int id, int stripResource, std::string_view tooltip) = 0;
    // LoadBackground: true when the picture was loaded (0 releases it and returns true).
    virtual bool loadBackground(int bitmapResource) = 0;
    // WM_SETICON big and small with the application icon.
    virtual void setWindowIcon() = 0;

    // Main window title.
    virtual void setTitle(std::string_view title) = 0;
    virtual std::string title() = 0;
    // Asks the window to repaint (the indicators are evaluated while painting).
    virtual void requestRepaint() = 0;

    // Modal message box; returns IDOK, IDYES, IDNO or IDCANCEL.
    virtual int messageBox(std::string_view text, std::string_view caption, DWORD type) = 0;
    // The open/save file dialog; the chosen full path as the file system's own bytes, to be
    // opened as it is (never converted to or from Windows-1252), or nothing when cancelled.
    virtual std::optional<std::string> fileDialog(const FileDialogRequest& request) = 0;
    // One nested message step: at most one waiting message is handled (Stop, Exit, paint).
    virtual void pumpOneMessage() = 0;
};

}  // namespace platform
