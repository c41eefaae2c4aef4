#pragma once

#include <string_view>

#include <QByteArray>

// Decodes the character references of HTML text as a browser does: named
// ones (&amp;, and the legacy names that may stand without ";"), decimal and
// hexadecimal ones (&#38; &#x26;), written out in UTF-8. In an attribute
// value a legacy name without ";" that runs on into a letter, digit or "="
// stays as written (so "?a=1&copy=2" keeps its "&copy"). Everything else is
// copied as it stands.
QByteArray DecodeCharacterReferences(std::string_view text, bool inAttribute);
