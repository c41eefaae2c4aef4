#pragma once

#include <functional>

#include <QSortFilterProxyModel>

#include "records/resultcategory.h"

class CLinkTableModel;

// The rows of the results table that the user asked to see, in the order
// asked for: by result categories, by failures only, and by a text found in
// the page, the link, the result or where the link moved to.
class CLinkTableFilter final : public QSortFilterProxyModel
{
public:
    explicit CLinkTableFilter(CLinkTableModel &model, QObject *parent = nullptr);

    // Which categories are shown; an empty one shows all.
    using CategoryTest = std::function<bool(ResultCategory)>;
    void SetCategories(CategoryTest shown);
    void SetFailuresOnly(bool on);
    void SetText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    CLinkTableModel &m_model;
    CategoryTest m_categories;
    bool m_bFailuresOnly = false;
    QString m_text;
};
