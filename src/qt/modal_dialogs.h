#pragma once
// The window's modal dialogs: message boxes with the Windows button sets and answers, and the
// session file dialog.
#include <QFont>
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>

#include "platform/surface.h"
#include "platform/win_types.h"

namespace qtui {

// A modal message box owned by `owner` (which may still be hidden): Windows-1252 text and
// caption, no icon, the buttons of the type's low four bits (MB_OK, MB_OKCANCEL, MB_YESNOCANCEL,
// MB_YESNO; anything else shows OK). Returns IDOK, IDCANCEL, IDYES or IDNO; a box closed without
// a button answers as its escape button (OK, Cancel or No).
int ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, platform::DWORD type,
                   const QFont& font);

// The open or save dialog of a session file with its title and one filter
// "<description> (<pattern>)". Saving accepts a name that does not exist yet and asks nothing about
// replacing (the caller appends the extension afterwards). Returns the chosen path as the bytes the
// file system uses for it, or nothing when cancelled.
std::optional<std::string> ShowFileDialog(QWidget* owner, const platform::FileDialogRequest& request);

}  // namespace qtui
