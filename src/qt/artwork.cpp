#include "artwork.h"

#include "app/control_ids.h"

namespace qtui {

QString ArtworkPath(int resourceId) {
    switch (resourceId) {
    case app::ids::kBackground:
        return QStringLiteral(":/res/background.png");
    case app::ids::kStripScan:
    case app::ids::kStripTestSpeed:
    case app::ids::kStripExit:
    case app::ids::kStripStop:
    case app::ids::kStripOpenSession:
        return QStringLiteral(":/res/strip%1.png").arg(resourceId);
    default:
        return QString();
    }
}

QImage LoadArtwork(int resourceId) {
    const QString path = ArtworkPath(resourceId);
    if (path.isEmpty()) return QImage();
    return QImage(path);
}

QIcon LoadAppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        const QString path = QStringLiteral(":/res/icon-%1.png").arg(size);
        const QImage image(path);
        if (!image.isNull()) icon.addFile(path, image.size());
    }
    return icon;
}

}  // namespace qtui
