#pragma once

#include <QByteArray>
#include <QString>

// The report holds the bytes of the pages it quotes, which may be UTF-8 or
// an older single-byte encoding. The window shows a decoded copy: a piece
// that is valid UTF-8 is read as such, any other piece as Latin-1, so that
// no byte is ever shown as a replacement mark. Line ends become the window's
// own line breaks.
QString DecodeReportPiece(const QByteArray &bytes);
