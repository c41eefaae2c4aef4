#pragma once

#include <QByteArray>
#include <QList>

#include "discovery/linkextractor.h"

class CTestEngine;

// The links a report lists, to be probed again: one entry per page in the
// order the report first names it, each with the links listed under it in
// report order (duplicates too), taken from each link line as the link
// extractor takes a link from an anchor line, by rule. A link the classic
// rule passes over that today's web rule would take is counted in the
// page's httpsLeftOut. Links the report lists before any page come under the
// page "(no page)".
QList<ScannedFile> RetestPages(const QByteArray &report, LinkRule rule);

// The Re-test command: probes again every link the report lists, under the
// same anchor text and the same page. The window is cleared and the run
// started at once.
void OnRetestFailedLinks(CTestEngine &engine);
