#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Text rules of the settings file, shared by its reader and its writer.

// Key and value names match without regard to ASCII case; other bytes
// (UTF-8, Latin-1) must match exactly.
bool EqualsIgnoringAsciiCase(QByteArrayView a, QByteArrayView b);

// Splits a key path at its backslashes. Empty segments are dropped, so a
// doubled, leading or trailing backslash names the same key as a single one.
QList<QByteArray> SplitKeyPath(QByteArrayView path);

// Writes a value or value name between double quotes: backslash, double quote
// and control bytes are escaped (\\ \" \n \r \t \xHH), every other byte is
// kept raw.
QByteArray QuoteRegText(QByteArrayView text);

// Reads a quoted text starting at the double quote at pos; on success pos is
// just past the closing quote. Fails on a missing quote or a bad escape.
std::optional<QByteArray> UnquoteRegText(QByteArrayView line, qsizetype &pos);

// A key segment in a bracket line: backslash separates segments there, so it
// cannot escape. Control bytes and '%' are written as %HH instead.
QByteArray EncodeKeySegment(QByteArrayView segment);
std::optional<QByteArray> DecodeKeySegment(QByteArrayView segment);
