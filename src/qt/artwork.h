#pragma once
// The window's pictures by resource id (background 158, button strips 152..157, icon 128),
// embedded in the executable from res/.
#include <QIcon>
#include <QImage>
#include <QString>

namespace qtui {

// The embedded file of a bitmap resource id; empty for an id without a picture.
QString ArtworkPath(int resourceId);
// The picture of a bitmap resource id; a null image when the id is unknown or not embedded.
QImage LoadArtwork(int resourceId);
// The application icon (all embedded sizes); an empty icon when none is embedded.
QIcon LoadAppIcon();

}  // namespace qtui
