#pragma once

#include <cstdio>

#include <QByteArray>

// Pages and file names may carry control bytes that would drive a terminal:
// set its title, clear its screen, write its clipboard. Whatever goes to a
// terminal shows them as visible text ("\x1b") instead; whatever goes to a
// file or a pipe stays byte for byte as it is.

bool IsTerminal(std::FILE *stream);

// The bytes with every control character shown as "\xNN": C0 and DEL, C1
// (as a byte, or as a character under a UTF-8 locale), and every byte that is
// no character of the locale's encoding. With keepLayout, TAB, LF and a CR
// just before an LF pass as they are, so lines and columns keep their shape.
QByteArray ShowControlBytes(const QByteArray &bytes, bool keepLayout);

// The bytes as they are for a file or a pipe; shown visibly for a terminal.
QByteArray ForStream(std::FILE *stream, const QByteArray &bytes, bool keepLayout);
