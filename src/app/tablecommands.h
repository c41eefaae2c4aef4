#pragma once

#include <QByteArray>
#include <QList>

#include "discovery/linkextractor.h"

class CResultsTable;
struct LinkRow;

// The links of the rows to probe again, under their pages: one entry per
// page, in the order the rows first name it, each link with its anchor text.
QList<ScannedFile> RetestPagesOf(const CResultsTable &table, const QList<const LinkRow *> &rows);

// A report that lists just the rows' links under their pages, as a run's
// report would: what a repair of those links reads.
QByteArray ReportOf(const CResultsTable &table, const QList<const LinkRow *> &rows);
