#pragma once
// The program's Windows-1252 texts where they meet Qt's Unicode strings.
#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

#include "platform/text_codec.h"

namespace qtui {

inline QString FromCp1252(std::string_view text) { return QString::fromStdString(platform::cp1252ToUtf8(text)); }
// Characters Windows-1252 cannot hold become '?'.
inline std::string ToCp1252(const QString& text) { return platform::utf8ToCp1252(text.toStdString()); }

}  // namespace qtui
