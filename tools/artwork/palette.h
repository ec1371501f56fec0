#pragma once
// Colours shared by the pictures so that buttons and panels blend into the background.
#include <QColor>

namespace artwork {

// The flat pale blue under every control and button.
inline const QColor kBackground{224, 235, 249};
// The indicator texts are drawn on this colour, opaque: the panels are filled with exactly it.
inline const QColor kPanelFill{194, 216, 242};
inline const QColor kPanelFrame{86, 126, 186};
inline const QColor kTitle{28, 58, 118};
inline const QColor kLabel{34, 64, 120};

}  // namespace artwork
