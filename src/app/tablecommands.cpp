#include "tablecommands.h"

#include <QHash>

#include "records/reporttextwriter.h"
#include "records/ui/linktablemodel.h"
#include "records/ui/resultstable.h"

namespace {

// The rows grouped by page, pages in the order the rows first name them.
QList<QList<const LinkRow *>> ByPage(const CResultsTable &table, const QList<const LinkRow *> &rows)
{
    QList<QList<const LinkRow *>> pages;
    QHash<QByteArray, qsizetype> where;
    for (const LinkRow *row : rows) {
        const QByteArray &page = table.PageOf(*row);
        auto found = where.constFind(page);
        if (found == where.constEnd()) {
            found = where.insert(page, pages.size());
            pages.append(QList<const LinkRow *>());
        }
        pages[*found].append(row);
    }
    return pages;
}

} // namespace

QList<ScannedFile> RetestPagesOf(const CResultsTable &table, const QList<const LinkRow *> &rows)
{
    QList<ScannedFile> pages;
    for (const QList<const LinkRow *> &links : ByPage(table, rows)) {
        ScannedFile page;
        page.path = table.PageOf(*links.constFirst());
        page.result = ScannedFile::Result::Scanned;
        page.given = true;
        for (const LinkRow *row : links) {
            page.urls.append(table.AddressOf(*row));
            page.anchors.append(row->text);
        }
        pages.append(page);
    }
    return pages;
}

QByteArray ReportOf(const CResultsTable &table, const QList<const LinkRow *> &rows)
{
    QByteArray report;
    CReportTextWriter writer([&report](const QByteArray &line) { report += line; });
    writer.RunStarted({});
    for (const QList<const LinkRow *> &links : ByPage(table, rows)) {
        const QByteArray &page = table.PageOf(*links.constFirst());
        writer.PageStarted({page, std::nullopt});
        for (const LinkRow *row : links) {
            LinkRecord link;
            link.page = page;
            link.url = row->url;
            link.text = row->text;
            link.category = row->category;
            link.reported = true;
            writer.LinkTested(link);
        }
        const int count = static_cast<int>(links.size());
        writer.PageEnded({page, count, count, std::nullopt});
    }
    writer.RunEnded({});
    return report;
}
