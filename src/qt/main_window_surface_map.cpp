// The drive list's context menu: "Save surface map…" writes the SVG map of the drive's last scan
// in this session. The entry is offered only for a drive scanned since start-up and never while
// a scan or the speed test runs.
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>

#include "app/control_ids.h"
#include "app/main_dialog.h"
#include "app/surface_map_svg.h"
#include "main_window.h"

namespace qtui {

void MainWindow::setUpDriveMenu(QListWidget* list) {
    // A right click and the menu key both ask for a context menu; the key gives a position
    // that may lie on no row, in which case the selected drive is meant.
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& position) {
        QListWidgetItem* item = list->itemAt(position);
        if (item == nullptr) item = list->currentItem();
        if (item == nullptr) return;
        const int driveNumber = static_cast<int>(listItemData(app::ids::kDriveList, list->row(item)));
        auto* menu = new QMenu(list);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        QAction* save = menu->addAction(QString::fromUtf8("Save surface map\xE2\x80\xA6"));
        save->setEnabled(!longCommand_ && dialog_.lastScanOf(driveNumber) != nullptr);
        connect(save, &QAction::triggered, this, [this, driveNumber] { saveSurfaceMap(driveNumber); });
        menu->popup(list->viewport()->mapToGlobal(position));
    });
}

bool MainWindow::saveSurfaceMap(int driveNumber, const QString& chosenPath) {
    const app::ScanSummary* summary = dialog_.lastScanOf(driveNumber);
    if (summary == nullptr) return false;
    QString path = chosenPath;
    if (path.isEmpty()) {
        path = QFileDialog::getSaveFileName(this, QStringLiteral("Save surface map"),
                                            QStringLiteral("drive%1-surface.svg").arg(driveNumber),
                                            QStringLiteral("SVG images (*.svg)"));
        if (path.isEmpty()) return false;
    }
    const std::string svg = app::SurfaceMapSvg(*summary);
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.write(svg.data(), static_cast<qint64>(svg.size())) == static_cast<qint64>(svg.size()) &&
                       file.commit();
    if (!saved && chosenPath.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Save surface map"),
                             QStringLiteral("The surface map could not be written to %1: %2").arg(path, file.errorString()));
    return saved;
}

}  // namespace qtui
