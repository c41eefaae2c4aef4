#pragma once

#include <QByteArray>

// Report bytes made fit for a UTF-8 HTML page. The report holds the bytes of
// the pages it quotes: a field that is valid UTF-8 is read as such, any other
// as Latin-1, as the results window reads them.

// Appends the bytes as text: "&", "<", ">" and the double quote as entities,
// so that nothing from a web page can become markup; control characters,
// which a page may not hold, shown as "\xNN"; noncharacters as U+FFFD.
void AppendPageText(QByteArray &page, const QByteArray &bytes);

// Appends a link for an attribute value: the same bytes, so the link leads
// where the report's link leads, with the markup characters as entities and
// every byte that cannot stand in a UTF-8 page percent-encoded.
void AppendPageAddress(QByteArray &page, const QByteArray &bytes);
