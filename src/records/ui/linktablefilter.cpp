#include "linktablefilter.h"

#include "engine/ui/reporttext.h"
#include "records/ui/linktablemodel.h"

CLinkTableFilter::CLinkTableFilter(CLinkTableModel &model, QObject *parent)
    : QSortFilterProxyModel(parent), m_model(model)
{
    setSourceModel(&model);
    setSortRole(CLinkTableModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
}

void CLinkTableFilter::SetCategories(CategoryTest shown)
{
    m_categories = std::move(shown);
    invalidateRowsFilter();
}

void CLinkTableFilter::SetFailuresOnly(bool on)
{
    m_bFailuresOnly = on;
    invalidateRowsFilter();
}

void CLinkTableFilter::SetText(const QString &text)
{
    m_text = text.trimmed();
    invalidateRowsFilter();
}

bool CLinkTableFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const LinkRow &row = m_model.Row(sourceRow);
    if (m_bFailuresOnly && IsOk(row.category))
        return false;
    if (m_categories && !m_categories(row.category))
        return false;
    if (m_text.isEmpty())
        return true;
    for (const QByteArray &field : {m_model.PageOf(row), row.url, row.movedTo, row.target}) {
        if (DecodeReportPiece(field).contains(m_text, Qt::CaseInsensitive))
            return true;
    }
    return QString::fromLatin1(CategoryText(row.category)).contains(m_text, Qt::CaseInsensitive);
}
