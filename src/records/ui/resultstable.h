#pragma once

#include <QList>
#include <QWidget>

#include "records/runlistener.h"

class CLinkTableFilter;
class CLinkTableModel;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableView;
struct LinkRow;

// The results table: one row per tested link, sortable by any column and
// filtered by result category, by failures only and by a text, with a
// summary of how many links each category holds. Its commands act on the
// selected rows; it only says which rows and leaves the doing to its owner.
class CResultsTable final : public QWidget
{
    Q_OBJECT

public:
    explicit CResultsTable(QWidget *parent = nullptr);

    // Where the runs' links are to be told.
    RunListener &Listener();
    CLinkTableModel &Model() { return *m_model; }
    QTableView *View() const { return m_view; }
    QMenu *ContextMenu() const { return m_menu; }
    QComboBox *CategoryChoice() const { return m_category; }
    QLabel *Summary() const { return m_summary; }

    // Re-test Selected and Repair Selected... may be given (no run lasts).
    void SetRunCommandsEnabled(bool enabled);
    // The selected rows, in the order shown; the current row when none is.
    QList<const LinkRow *> SelectedRows() const;
    const QByteArray &PageOf(const LinkRow &row) const;
    const QByteArray &AddressOf(const LinkRow &row) const;

Q_SIGNALS:
    void openLinkInBrowser(const LinkRow &row);
    void openPageInBrowser(const LinkRow &row);
    void openPageInEditor(const LinkRow &row);
    void retestSelected(const QList<const LinkRow *> &rows);
    void repairSelected(const QList<const LinkRow *> &rows);

private:
    void MakeCommands();
    void FillCategoryChoice();
    void ApplyCategoryChoice();
    void UpdateSummary();
    void UpdateCommandStates();
    // The row the commands act on: the current one.
    const LinkRow *CurrentRow() const;
    void CopyLinks();

    CLinkTableModel *m_model = nullptr;
    CLinkTableFilter *m_filter = nullptr;
    QComboBox *m_category = nullptr;
    QCheckBox *m_failuresOnly = nullptr;
    QLineEdit *m_find = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_summary = nullptr;
    QMenu *m_menu = nullptr;
    QList<QAction *> m_rowCommands;
    QAction *m_retest = nullptr;
    QAction *m_repair = nullptr;
    bool m_bRunCommandsEnabled = false;
    int m_nListedCategories = 0;
};
