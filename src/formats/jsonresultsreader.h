#pragma once

#include <QByteArray>
#include <QString>

class RunListener;

// The bytes hold a JSON document rather than a report text: the first byte
// that is not white space is "{" (a report text begins with its start line).
bool IsJsonDocument(const QByteArray &bytes);

// Reads results that CJsonResultsWriter wrote back into the run they tell of,
// as a report text is read back: one run, its pages in the order their links
// were tested, and each page's reported links with every hop of their
// redirect chains. Only reported links are told, and only pages that hold
// one. A document that is not such results (not JSON, no links array, another
// version, a link of another shape) tells nothing: the result is why it was
// refused. An empty result: the document was read and told.
QString ReadJsonResults(const QByteArray &document, RunListener &listener);
