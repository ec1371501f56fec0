#include "drive_menu.h"

#include <QListWidget>
#include <QMenu>

namespace qtui {

DriveMenu::DriveMenu(QListWidget* list, std::function<int(int row)> driveOfRow, std::function<bool()> available,
                     QObject* parent)
    : QObject(parent), list_(list), driveOfRow_(std::move(driveOfRow)), available_(std::move(available)) {
    // A right click and the menu key both ask for a context menu; the key gives a position
    // that may lie on no row, in which case the selected drive is meant.
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &DriveMenu::open);
}

void DriveMenu::addEntry(const QString& text, Action action, Offered offered) {
    entries_.push_back({text, std::move(action), std::move(offered)});
}

QMenu* DriveMenu::menuAt(const QPoint& position) {
    QListWidgetItem* item = list_->itemAt(position);
    if (item == nullptr) item = list_->currentItem();
    if (item == nullptr) return nullptr;
    const int driveNumber = driveOfRow_(list_->row(item));
    auto* menu = new QMenu(list_);
    const bool enabled = available_();
    for (const Entry& entry : entries_) {
        QAction* action = menu->addAction(entry.text);
        action->setEnabled(enabled && (!entry.offered || entry.offered(driveNumber)));
        const Action run = entry.action;
        connect(action, &QAction::triggered, menu, [run, driveNumber] { run(driveNumber); });
    }
    return menu;
}

void DriveMenu::open(const QPoint& position) {
    QMenu* menu = menuAt(position);
    if (menu == nullptr) return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(list_->viewport()->mapToGlobal(position));
}

}  // namespace qtui
