#pragma once
// Conversions between the project's 8-bit Windows-1252 texts (with "\r\n" or a
// lone "\r" as line break) and Qt's strings (with "\n").
#include <QString>
#include <string>
#include <string_view>

namespace ui_qt {

/// Windows-1252 to a QString; every line break becomes "\n".
QString ToQt(std::string_view text);

/// A QString to Windows-1252; "\n" becomes "\r\n", a character without a
/// Windows-1252 code becomes "?".
std::string FromQt(const QString& text);

}  // namespace ui_qt
