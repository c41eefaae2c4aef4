#include "resultstable.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

#include "engine/resultcategories.h"
#include "engine/ui/reporttext.h"
#include "records/ui/linktablefilter.h"
#include "records/ui/linktablemodel.h"

namespace {

// The choices of the category list that are not single categories.
enum Choice
{
    AllResults = -1,
    WatchLikeAHawk = -2,
    WatchWithOneEyeShut = -3
};

// A preset of the report filter shows what the report would list under it.
bool PresetShows(const QByteArray &filter, ResultCategory category)
{
    const int index = FilterIndex(category);
    if (index < 0)
        return category == ResultCategory::UnknownReply;
    return index >= filter.size() || filter.at(index) != '0';
}

QString CategoryName(int category)
{
    return QString::fromLatin1(CategoryText(static_cast<ResultCategory>(category)));
}

} // namespace

CResultsTable::CResultsTable(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Results table"));
    m_model = new CLinkTableModel(this);
    m_filter = new CLinkTableFilter(*m_model, this);

    auto *showLabel = new QLabel(QStringLiteral("S&how:"), this);
    m_category = new QComboBox(this);
    m_category->setAccessibleName(QStringLiteral("Show"));
    showLabel->setBuddy(m_category);
    FillCategoryChoice();
    m_failuresOnly = new QCheckBox(QStringLiteral("Failures &only"), this);
    auto *findLabel = new QLabel(QStringLiteral("F&ind:"), this);
    m_find = new QLineEdit(this);
    m_find->setAccessibleName(QStringLiteral("Find"));
    m_find->setPlaceholderText(QStringLiteral("Page, link or result"));
    m_find->setClearButtonEnabled(true);
    findLabel->setBuddy(m_find);

    m_view = new QTableView(this);
    m_view->setAccessibleName(QStringLiteral("Tested links"));
    m_view->setModel(m_filter);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    // Rows in the order they were tested until the user sorts.
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->setSortingEnabled(true);
    m_view->horizontalHeader()->setStretchLastSection(true);
    const int character = fontMetrics().averageCharWidth();
    for (const auto &[column, width] : {std::pair{CLinkTableModel::ColPage, 24},
                                        {CLinkTableModel::ColLine, 6},
                                        {CLinkTableModel::ColLink, 36},
                                        {CLinkTableModel::ColResult, 30},
                                        {CLinkTableModel::ColCode, 6},
                                        {CLinkTableModel::ColMovedTo, 24}})
        m_view->setColumnWidth(column, width * character);

    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setAccessibleName(QStringLiteral("Summary"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(showLabel);
    controls->addWidget(m_category, 1);
    controls->addWidget(m_failuresOnly);
    controls->addSpacing(character * 2);
    controls->addWidget(findLabel);
    controls->addWidget(m_find, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_summary);

    MakeCommands();
    connect(m_category, &QComboBox::currentIndexChanged, this, [this] { ApplyCategoryChoice(); });
    connect(m_failuresOnly, &QCheckBox::toggled, m_filter,
            [this](bool on) { m_filter->SetFailuresOnly(on); });
    connect(m_find, &QLineEdit::textChanged, m_filter,
            [this](const QString &text) { m_filter->SetText(text); });
    connect(m_model, &CLinkTableModel::countsChanged, this, [this] {
        FillCategoryChoice();
        UpdateSummary();
    });
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, [this] { UpdateSummary(); });
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateSummary(); });
    connect(m_filter, &QAbstractItemModel::modelReset, this, [this] { UpdateSummary(); });
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, [this] { UpdateSummary(); });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateCommandStates(); });
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { UpdateCommandStates(); });
    connect(m_view, &QAbstractItemView::activated, this, [this] {
        if (const LinkRow *row = CurrentRow())
            Q_EMIT openPageInEditor(*row);
    });
    UpdateSummary();
    UpdateCommandStates();
}

RunListener &CResultsTable::Listener()
{
    return *m_model;
}

void CResultsTable::MakeCommands()
{
    m_menu = new QMenu(QStringLiteral("Link"), this);
    const auto command = [this](const QString &text, auto run) {
        auto *action = new QAction(text, this);
        connect(action, &QAction::triggered, this, run);
        m_menu->addAction(action);
        // The keys of the commands that have them work in the table itself.
        m_view->addAction(action);
        return action;
    };
    const auto onCurrent = [this](void (CResultsTable::*signal)(const LinkRow &)) {
        return [this, signal] {
            if (const LinkRow *row = CurrentRow())
                Q_EMIT(this->*signal)(*row);
        };
    };
    m_rowCommands.append(command(QStringLiteral("Open Link in Browser"),
                                 onCurrent(&CResultsTable::openLinkInBrowser)));
    m_rowCommands.append(command(QStringLiteral("Open Page in Browser"),
                                 onCurrent(&CResultsTable::openPageInBrowser)));
    QAction *editor =
        command(QStringLiteral("Open Page in Editor"), onCurrent(&CResultsTable::openPageInEditor));
    m_rowCommands.append(editor);
    m_menu->setDefaultAction(editor);
    QAction *copy = command(QStringLiteral("Copy Link"), [this] { CopyLinks(); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    m_rowCommands.append(copy);
    m_menu->addSeparator();
    m_retest = command(QStringLiteral("Re-test Selected"),
                       [this] { Q_EMIT retestSelected(SelectedRows()); });
    m_repair = command(QStringLiteral("Repair Selected..."),
                       [this] { Q_EMIT repairSelected(SelectedRows()); });

    // The menu opens from the mouse's right button and from the keyboard's
    // menu key (or Shift+F10), at the current row.
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        UpdateCommandStates();
        m_menu->popup(m_view->viewport()->mapToGlobal(at));
    });
}

void CResultsTable::SetRunCommandsEnabled(bool enabled)
{
    m_bRunCommandsEnabled = enabled;
    UpdateCommandStates();
}

void CResultsTable::UpdateCommandStates()
{
    const bool hasRow = CurrentRow() != nullptr;
    for (QAction *action : m_rowCommands)
        action->setEnabled(hasRow);
    m_retest->setEnabled(hasRow && m_bRunCommandsEnabled);
    m_repair->setEnabled(hasRow && m_bRunCommandsEnabled);
}

const LinkRow *CResultsTable::CurrentRow() const
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid())
        return nullptr;
    return &m_model->Row(m_filter->mapToSource(current).row());
}

QList<const LinkRow *> CResultsTable::SelectedRows() const
{
    QList<QModelIndex> selected = m_view->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QList<const LinkRow *> rows;
    for (const QModelIndex &index : selected)
        rows.append(&m_model->Row(m_filter->mapToSource(index).row()));
    if (rows.isEmpty()) {
        if (const LinkRow *current = CurrentRow())
            rows.append(current);
    }
    return rows;
}

const QByteArray &CResultsTable::PageOf(const LinkRow &row) const
{
    return m_model->PageOf(row);
}

const QByteArray &CResultsTable::AddressOf(const LinkRow &row) const
{
    return m_model->AddressOf(row);
}

void CResultsTable::CopyLinks()
{
    QStringList links;
    for (const LinkRow *row : SelectedRows())
        links.append(DecodeReportPiece(row->url));
    if (!links.isEmpty())
        QApplication::clipboard()->setText(links.join(QLatin1Char('\n')));
}

void CResultsTable::FillCategoryChoice()
{
    if (m_category->count() == 0) {
        m_category->addItem(QStringLiteral("All Results"), AllResults);
        m_category->addItem(QStringLiteral("Watch Like a Hawk"), WatchLikeAHawk);
        m_category->addItem(QStringLiteral("Watch With One Eye Shut"), WatchWithOneEyeShut);
        m_category->insertSeparator(m_category->count());
    }
    // Every category the records know of, and any met beyond them.
    const int known = static_cast<int>(ResultCategory::FtpAnswered) + 1;
    const int listed = std::max(known, static_cast<int>(m_model->Counts().size()));
    for (; m_nListedCategories < listed; ++m_nListedCategories)
        m_category->addItem(CategoryName(m_nListedCategories), m_nListedCategories);
}

void CResultsTable::ApplyCategoryChoice()
{
    const int choice = m_category->currentData().toInt();
    switch (choice) {
    case AllResults:
        m_filter->SetCategories({});
        break;
    case WatchLikeAHawk:
    case WatchWithOneEyeShut: {
        const QByteArray preset =
            choice == WatchLikeAHawk ? kFilterWatchLikeAHawk : kFilterWatchWithOneEyeShut;
        m_filter->SetCategories(
            [preset](ResultCategory category) { return PresetShows(preset, category); });
        break;
    }
    default:
        m_filter->SetCategories(
            [choice](ResultCategory category) { return static_cast<int>(category) == choice; });
    }
}

void CResultsTable::UpdateSummary()
{
    const std::vector<int> &counts = m_model->Counts();
    const int total = m_model->rowCount();
    QString text =
        total == 1 ? QStringLiteral("1 link tested") : QStringLiteral("%1 links tested").arg(total);
    const int shown = m_filter->rowCount();
    if (shown != total)
        text += QStringLiteral(", %1 shown").arg(shown);
    QStringList parts;
    for (std::size_t category = 0; category < counts.size(); ++category) {
        if (counts[category] > 0)
            parts.append(QStringLiteral("%1: %2")
                             .arg(CategoryName(static_cast<int>(category)))
                             .arg(counts[category]));
    }
    if (!parts.isEmpty())
        text += QStringLiteral(". ") + parts.join(QStringLiteral("; "));
    m_summary->setText(text + QLatin1Char('.'));
}
