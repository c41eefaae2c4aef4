#include "helpwindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "app/help/helptopics.h"
#include "app/mainframe.h"

// The book lives in a static library: naming it keeps it in the program.
static void InitHelpResources()
{
    Q_INIT_RESOURCE(help);
}

namespace {

const QString kBookRoot = QStringLiteral(":/help/");

QString ReadPage(const QString &file)
{
    QFile page(kBookRoot + file);
    if (!page.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(page.readAll());
}

QString Captured(const QString &html, const QString &pattern)
{
    const QRegularExpression expression(pattern,
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::DotMatchesEverythingOption);
    return expression.match(html).captured(1).simplified();
}

QString PlainText(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

QListWidgetItem *PageItem(const QString &text, const QString &file, QListWidget *list)
{
    auto *item = new QListWidgetItem(text, list);
    item->setData(Qt::UserRole, file);
    return item;
}

} // namespace

CHelpWindow::CHelpWindow(QWidget *parent) : QMainWindow(parent)
{
    InitHelpResources();
    setWindowTitle(QStringLiteral("Vantrel Help"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_browser = new QTextBrowser(this);
    m_browser->setSearchPaths({kBookRoot});
    m_browser->setOpenExternalLinks(true);
    m_browser->setAccessibleName(QStringLiteral("Help page"));

    auto *back = new QPushButton(QStringLiteral("< &Back"), this);
    auto *forward = new QPushButton(QStringLiteral("&Forward >"), this);
    auto *home = new QPushButton(QStringLiteral("&Contents"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, this,
            [this] { ShowPage(QLatin1String(HelpTopic::Contents)); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);

    m_contents = new QListWidget(this);
    m_contents->setAccessibleName(QStringLiteral("Contents"));
    auto *indexPane = new QWidget(this);
    m_indexFilter = new QLineEdit(indexPane);
    m_indexFilter->setPlaceholderText(QStringLiteral("Type a word to find"));
    m_indexFilter->setAccessibleName(QStringLiteral("Index word"));
    m_index = new QListWidget(indexPane);
    m_index->setAccessibleName(QStringLiteral("Index"));
    auto *indexLayout = new QVBoxLayout(indexPane);
    indexLayout->addWidget(m_indexFilter);
    indexLayout->addWidget(m_index);
    auto *searchPane = new QWidget(this);
    m_searchQuery = new QLineEdit(searchPane);
    m_searchQuery->setPlaceholderText(QStringLiteral("Words to search for"));
    m_searchQuery->setAccessibleName(QStringLiteral("Search words"));
    auto *searchButton = new QPushButton(QStringLiteral("&Search"), searchPane);
    m_searchResults = new QListWidget(searchPane);
    m_searchResults->setAccessibleName(QStringLiteral("Search results"));
    auto *queryLine = new QHBoxLayout;
    queryLine->addWidget(m_searchQuery);
    queryLine->addWidget(searchButton);
    auto *searchLayout = new QVBoxLayout(searchPane);
    searchLayout->addLayout(queryLine);
    searchLayout->addWidget(m_searchResults);

    m_tabs = new QTabWidget(this);
    m_tabs->addTab(m_contents, QStringLiteral("Co&ntents"));
    m_tabs->addTab(indexPane, QStringLiteral("&Index"));
    m_tabs->addTab(searchPane, QStringLiteral("Sea&rch"));

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(home);
    buttons->addStretch();
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(buttons);
    layout->addWidget(splitter);
    setCentralWidget(page);

    for (QListWidget *list : {m_contents, m_index, m_searchResults}) {
        connect(list, &QListWidget::itemActivated, this,
                [this](QListWidgetItem *item) { ShowPage(item->data(Qt::UserRole).toString()); });
        connect(list, &QListWidget::itemClicked, this,
                [this](QListWidgetItem *item) { ShowPage(item->data(Qt::UserRole).toString()); });
    }
    connect(m_indexFilter, &QLineEdit::textChanged, this,
            [this](const QString &text) { FillIndex(text); });
    connect(m_searchQuery, &QLineEdit::returnPressed, this, [this] { RunSearch(); });
    connect(searchButton, &QPushButton::clicked, this, [this] { RunSearch(); });

    LoadBook();
    // The contents show their titles whole; the page takes the rest.
    const int contentsWidth = m_contents->sizeHintForColumn(0) + 4 * m_contents->frameWidth() +
                              m_contents->verticalScrollBar()->sizeHint().width();
    const int pageWidth = fontMetrics().averageCharWidth() * 90;
    splitter->setSizes({contentsWidth, pageWidth});
    resize(contentsWidth + pageWidth + 40, fontMetrics().height() * 40);
}

void CHelpWindow::LoadBook()
{
    // The contents follow the order of the links on the book's first page.
    const QString contents = ReadPage(QLatin1String(HelpTopic::Contents));
    QStringList files{QLatin1String(HelpTopic::Contents)};
    const QRegularExpression link(QStringLiteral("href=\"([a-z0-9-]+\\.html)\""));
    for (auto match = link.globalMatch(contents); match.hasNext();) {
        const QString file = match.next().captured(1);
        if (!files.contains(file))
            files.append(file);
    }
    for (const QString &file : files) {
        const QString html = ReadPage(file);
        if (html.isEmpty())
            continue;
        Page page;
        page.file = file;
        page.title = Captured(html, QStringLiteral("<title>(.*?)</title>"));
        if (page.title.isEmpty())
            page.title = file;
        const QString keywords =
            Captured(html, QStringLiteral("<meta\\s+name=\"keywords\"\\s+content=\"(.*?)\""));
        for (const QString &keyword : keywords.split(QLatin1Char(','), Qt::SkipEmptyParts))
            page.keywords.append(keyword.trimmed());
        page.text = PlainText(html);
        m_pages.append(page);
        PageItem(page.title, page.file, m_contents);
    }
    FillIndex({});
}

void CHelpWindow::FillIndex(const QString &filter)
{
    m_index->clear();
    QList<std::pair<QString, QString>> entries;
    for (const Page &page : std::as_const(m_pages)) {
        for (const QString &keyword : page.keywords) {
            if (keyword.startsWith(filter, Qt::CaseInsensitive) ||
                keyword.contains(filter, Qt::CaseInsensitive))
                entries.append({keyword, page.file});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const auto &left, const auto &right) {
        return QString::localeAwareCompare(left.first, right.first) < 0;
    });
    for (const auto &[keyword, file] : std::as_const(entries))
        PageItem(keyword, file, m_index);
}

QList<CHelpWindow::Page> CHelpWindow::Search(const QString &query) const
{
    const QStringList words = query.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QList<Page> found;
    if (words.isEmpty())
        return found;
    for (const Page &page : m_pages) {
        const bool all = std::all_of(words.begin(), words.end(), [&page](const QString &word) {
            return page.text.contains(word, Qt::CaseInsensitive) ||
                   page.title.contains(word, Qt::CaseInsensitive);
        });
        if (all)
            found.append(page);
    }
    return found;
}

void CHelpWindow::RunSearch()
{
    m_searchResults->clear();
    const QList<Page> found = Search(m_searchQuery->text());
    for (const Page &page : found)
        PageItem(page.title, page.file, m_searchResults);
    if (found.isEmpty())
        new QListWidgetItem(QStringLiteral("No page holds these words."), m_searchResults);
}

void CHelpWindow::ShowPage(const QString &page)
{
    m_browser->setSource(QUrl(page));
    for (int row = 0; row < m_contents->count(); ++row) {
        if (m_contents->item(row)->data(Qt::UserRole).toString() == page)
            m_contents->setCurrentRow(row);
    }
    show();
    raise();
    activateWindow();
}

QString CHelpWindow::CurrentPage() const
{
    return m_browser->source().fileName();
}

void CHelpWindow::ShowTopic(QWidget *from, const QString &page)
{
    for (QWidget *widget = from; widget != nullptr; widget = widget->parentWidget()) {
        if (auto *frame = qobject_cast<CMainFrame *>(widget)) {
            frame->ShowHelp(page);
            return;
        }
    }
    QWidget *owner = from->window();
    auto *help = owner->findChild<CHelpWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (help == nullptr)
        help = new CHelpWindow(owner);
    help->ShowPage(page);
}
