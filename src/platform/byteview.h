#pragma once

#include <string_view>

#include <QByteArray>

// Bytes seen as a string view and back, for code that searches page text with
// the standard library and keeps it in Qt's byte arrays.
inline std::string_view View(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

inline QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}
