#include "fieldtext.h"

QString FieldText(const QByteArray &bytes)
{
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

QString ShownCharacter(QChar character)
{
    const char16_t code = character.unicode();
    return (code < 0x100 ? QStringLiteral("\\x%1") : QStringLiteral("\\u%1"))
        .arg(int(code), code < 0x100 ? 2 : 4, 16, QLatin1Char('0'));
}
