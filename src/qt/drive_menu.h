#pragma once
// The drive list's context menu, opened by a right click or the menu key. Entries are added
// by their text with what they do for the drive number under the menu; while `available`
// answers false (a scan or another long command runs) every entry is shown disabled.
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QListWidget;
class QMenu;
class QPoint;

namespace qtui {

class DriveMenu : public QObject {
    Q_OBJECT
public:
    using Action = std::function<void(int driveNumber)>;
    using Offered = std::function<bool(int driveNumber)>;

    // driveOfRow gives the drive number of a list row.
    DriveMenu(QListWidget* list, std::function<int(int row)> driveOfRow, std::function<bool()> available,
              QObject* parent = nullptr);
    // Adds an entry at the end of the menu; when offered is set, it is enabled only for the
    // drives it answers true for.
    void addEntry(const QString& text, Action action, Offered offered = {});
    // Builds the menu for the list row at a position in the list's viewport (the selected row
    // when the position is on no row); nullptr when there is no drive there. The caller owns it.
    QMenu* menuAt(const QPoint& position);

private:
    struct Entry {
        QString text;
        Action action;
        Offered offered;
    };
    void open(const QPoint& position);

    QListWidget* list_;
    std::function<int(int row)> driveOfRow_;
    std::function<bool()> available_;
    std::vector<Entry> entries_;
};

}  // namespace qtui
