#include "fieldtext.h"

QString FieldText(const QByteArray &bytes)
{
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

bool IsPlainUtf8(const QByteArray &bytes, std::string_view special)
{
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) < 0x20 || special.find(byte) != special.npos)
            return false;
    }
    return bytes.isValidUtf8();
}

QString ShownCharacter(QChar character)
{
    const char16_t code = character.unicode();
    return (code < 0x100 ? QStringLiteral("\\x%1") : QStringLiteral("\\u%1"))
        .arg(int(code), code < 0x100 ? 2 : 4, 16, QLatin1Char('0'));
}
