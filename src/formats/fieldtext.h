#pragma once

#include <string_view>

#include <QByteArray>
#include <QString>

// Pages and links are bytes in whatever encoding a page used; the formats are
// UTF-8. A field that is valid UTF-8 is read as such, any other as Latin-1, as
// the results window and the HTML export read them.
QString FieldText(const QByteArray &bytes);

// The field is valid UTF-8 and holds no control character (C0) and none of
// the special ASCII bytes: a format can then copy its bytes as they are,
// with no decoding and no escaping.
bool IsPlainUtf8(const QByteArray &bytes, std::string_view special);

// A character that a format cannot carry, shown visibly: "\xNN" up to U+00FF
// (in lower case, as the terminal front end and the HTML export show control
// characters), else "\uNNNN".
QString ShownCharacter(QChar character);
