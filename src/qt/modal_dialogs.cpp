#include "modal_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>

#include "qt_text.h"

namespace qtui {

namespace {

constexpr platform::DWORD kTypeMask = 0xF;
constexpr platform::DWORD kOkCancel = 0x1;
constexpr platform::DWORD kYesNoCancel = 0x3;

int answerOf(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return platform::IDYES;
    case QMessageBox::No:
        return platform::IDNO;
    case QMessageBox::Cancel:
        return platform::IDCANCEL;
    default:
        return platform::IDOK;
    }
}

}  // namespace

int ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, platform::DWORD type,
                   const QFont& font) {
    QMessageBox box(owner);
    box.setIcon(QMessageBox::NoIcon);
    box.setFont(font);
    box.setWindowTitle(FromCp1252(caption));
    box.setTextFormat(Qt::PlainText);  // "scan&repair" and the like are shown as written
    box.setText(FromCp1252(text));
    QMessageBox::StandardButton first = QMessageBox::Ok;
    switch (type & kTypeMask) {
    case kOkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case kYesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        first = QMessageBox::Yes;
        break;
    case platform::MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        first = QMessageBox::Yes;
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
    box.setDefaultButton(first);
    return answerOf(box.exec());
}

std::optional<std::string> ShowFileDialog(QWidget* owner, const platform::FileDialogRequest& request) {
    const QString title = FromCp1252(request.title);
    const QString filter =
        FromCp1252(request.filterDescription) + QStringLiteral(" (") + FromCp1252(request.filterPattern) + ')';
    const QString chosen =
        request.forSaving
            ? QFileDialog::getSaveFileName(owner, title, QString(), filter, nullptr, QFileDialog::DontConfirmOverwrite)
            : QFileDialog::getOpenFileName(owner, title, QString(), filter);
    if (chosen.isEmpty()) return std::nullopt;
    // A path is handed on as the file system's own bytes, so names outside Windows-1252 still
    // reach the file they name.
    const QByteArray bytes = QFile::encodeName(chosen);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace qtui
