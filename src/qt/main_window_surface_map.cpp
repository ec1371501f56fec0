// "Save surface map…" of the drive list's context menu: writes the SVG map of the drive's last
// scan in this session.
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

#include "app/control_ids.h"
#include "app/main_dialog.h"
#include "app/surface_map_svg.h"
#include "main_window.h"

namespace qtui {

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
