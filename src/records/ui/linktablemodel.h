#pragma once

#include <vector>

#include <QAbstractTableModel>
#include <QHash>
#include <QTimer>

#include "records/runlistener.h"

// One tested link as the results table keeps it: what its columns show and
// what its commands need (the page, the address, the anchor text).
struct LinkRow
{
    int page = 0; // index into the model's pages
    int line = 0;
    QByteArray url;
    // The address it was tested at, kept only where it differs from url.
    QByteArray target;
    // Where its redirects led in the end; empty when it was not moved.
    QByteArray movedTo;
    QByteArray text;
    qint64 elapsedMs = 0;
    int code = -1; // -1: the reply had no code
    ResultCategory category = ResultCategory::Unspecified;
    bool reported = false;
};

// The rows of the results table: every tested link of the runs told to it
// (or read back from a report), in the order they were tested. Links arrive
// one by one while a run goes on; the table takes them in batches, so that
// a fast run is not slowed by a row change per link.
class CLinkTableModel final : public QAbstractTableModel, public RunListener
{
    Q_OBJECT

public:
    enum Column
    {
        ColPage,
        ColLine,
        ColLink,
        ColResult,
        ColCode,
        ColMovedTo,
        ColTime,
        ColumnCount
    };
    // The value a column sorts by: numbers for numbers, text for the rest.
    static constexpr int SortRole = Qt::UserRole;

    explicit CLinkTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void RunStarted(const RunStart &start) override;
    void PageStarted(const PageStart &page) override;
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &page) override;
    void RunEnded(const RunEnd &end) override;

    // Takes in the links that arrived since the last batch.
    void Flush();
    void Clear();

    const LinkRow &Row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    const QByteArray &PageOf(const LinkRow &row) const { return m_pages[row.page]; }
    // The address to open for the row: where it was tested, else as written.
    const QByteArray &AddressOf(const LinkRow &row) const
    {
        return row.target.isEmpty() ? row.url : row.target;
    }
    // How many rows of each category, by the category's number.
    const std::vector<int> &Counts() const { return m_counts; }

Q_SIGNALS:
    void countsChanged();

private:
    int PageIndex(const QByteArray &page);

    std::vector<LinkRow> m_rows;
    std::vector<LinkRow> m_pending;
    QList<QByteArray> m_pages;
    QHash<QByteArray, int> m_pageIndex;
    std::vector<int> m_counts;
    QTimer m_batch;
};
