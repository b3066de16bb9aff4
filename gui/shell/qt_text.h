// Conversions between the core's UTF-8 strings and Qt's strings.
#pragma once

#include <QString>
#include <string>

namespace tamsel {

inline QString ToQString(const std::string& text) { return QString::fromStdString(text); }
inline std::string ToStdString(const QString& text) { return text.toStdString(); }

// A message as a label shows it: the core's CR LF line breaks become plain line feeds.
inline QString ToDisplayText(const std::string& text) {
    return ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace tamsel
