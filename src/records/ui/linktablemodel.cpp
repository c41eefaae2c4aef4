#include "linktablemodel.h"

#include "engine/ui/reporttext.h"
#include "records/ui/resultlook.h"

namespace {

// Often enough for the table to look live, seldom enough that a run of
// thousands of links a second changes it a few times a second only.
constexpr int kBatchMs = 250;

QString ColumnTitle(int column)
{
    switch (column) {
    case CLinkTableModel::ColPage:
        return QStringLiteral("Page");
    case CLinkTableModel::ColLine:
        return QStringLiteral("Line");
    case CLinkTableModel::ColLink:
        return QStringLiteral("Link");
    case CLinkTableModel::ColResult:
        return QStringLiteral("Result");
    case CLinkTableModel::ColCode:
        return QStringLiteral("Code");
    case CLinkTableModel::ColMovedTo:
        return QStringLiteral("Moved To");
    default:
        return QStringLiteral("Time");
    }
}

} // namespace

CLinkTableModel::CLinkTableModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchMs);
    connect(&m_batch, &QTimer::timeout, this, [this] { Flush(); });
}

int CLinkTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CLinkTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CLinkTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const LinkRow &row = Row(index.row());
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == SortRole) {
        switch (column) {
        case ColPage:
            return DecodeReportPiece(PageOf(row));
        case ColLine:
            if (role == SortRole)
                return row.line;
            return row.line > 0 ? QVariant(row.line) : QVariant();
        case ColLink:
            if (role == Qt::ToolTipRole && !row.target.isEmpty())
                return DecodeReportPiece(row.url) + QStringLiteral("\n") +
                       DecodeReportPiece(row.target);
            return DecodeReportPiece(row.url);
        case ColResult:
            return QString::fromLatin1(CategoryText(row.category));
        case ColCode:
            if (role == SortRole)
                return row.code;
            return row.code >= 0 ? QVariant(row.code) : QVariant();
        case ColMovedTo:
            return DecodeReportPiece(row.movedTo);
        default:
            if (role == SortRole)
                return row.elapsedMs;
            return QStringLiteral("%1 ms").arg(row.elapsedMs);
        }
    }
    if (column != ColResult)
        return {};
    if (role == Qt::DecorationRole)
        return IconOf(KindOf(row.category));
    if (role == Qt::ForegroundRole)
        return ColorOf(KindOf(row.category));
    return {};
}

QVariant CLinkTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ColumnTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void CLinkTableModel::RunStarted(const RunStart &) {}

void CLinkTableModel::PageStarted(const PageStart &) {}

void CLinkTableModel::LinkTested(const LinkRecord &link)
{
    LinkRow row;
    row.page = PageIndex(link.page);
    row.line = link.line;
    row.url = link.url;
    if (link.target != link.url)
        row.target = link.target;
    if (!link.redirects.empty())
        row.movedTo = link.redirects.back().url;
    row.text = link.text;
    row.elapsedMs = link.elapsedMs;
    row.code = link.code.value_or(-1);
    row.category = link.category;
    row.reported = link.reported;
    m_pending.push_back(std::move(row));
    if (!m_batch.isActive())
        m_batch.start();
}

void CLinkTableModel::PageEnded(const PageEnd &) {}

void CLinkTableModel::RunEnded(const RunEnd &)
{
    Flush();
}

void CLinkTableModel::Flush()
{
    m_batch.stop();
    if (m_pending.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(m_pending.size()) - 1);
    for (LinkRow &row : m_pending) {
        const auto category = static_cast<std::size_t>(row.category);
        if (category >= m_counts.size())
            m_counts.resize(category + 1, 0);
        ++m_counts[category];
        m_rows.push_back(std::move(row));
    }
    m_pending.clear();
    endInsertRows();
    Q_EMIT countsChanged();
}

void CLinkTableModel::Clear()
{
    m_batch.stop();
    beginResetModel();
    m_rows.clear();
    m_pending.clear();
    m_pages.clear();
    m_pageIndex.clear();
    m_counts.clear();
    endResetModel();
    Q_EMIT countsChanged();
}

int CLinkTableModel::PageIndex(const QByteArray &page)
{
    const auto found = m_pageIndex.constFind(page);
    if (found != m_pageIndex.constEnd())
        return *found;
    m_pages.append(page);
    m_pageIndex.insert(page, static_cast<int>(m_pages.size() - 1));
    return static_cast<int>(m_pages.size() - 1);
}
