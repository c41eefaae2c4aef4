#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

// "Vantrel Help": the help book in a window of its own: the page at the
// right; at the left its contents, an index of subjects and a search over
// the pages' text; Back, Forward and Contents above.
class CHelpWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit CHelpWindow(QWidget *parent = nullptr);

    // Shows a page of the book (a file name such as "repair.html") and
    // brings the window to the front.
    void ShowPage(const QString &page);
    QString CurrentPage() const;
    QTextBrowser *Browser() const { return m_browser; }

    // Shows a page in the help window of from's main window; a widget with
    // no main window above it gets a help window of its own.
    static void ShowTopic(QWidget *from, const QString &page);

    struct Page
    {
        QString file;
        QString title;
        QStringList keywords;
        QString text;
    };

    // Pages whose text holds every word of the query, in book order.
    QList<Page> Search(const QString &query) const;

private:
    void LoadBook();
    void FillIndex(const QString &filter);
    void RunSearch();

    QList<Page> m_pages;
    QTextBrowser *m_browser = nullptr;
    QTabWidget *m_tabs = nullptr;
    QListWidget *m_contents = nullptr;
    QLineEdit *m_indexFilter = nullptr;
    QListWidget *m_index = nullptr;
    QLineEdit *m_searchQuery = nullptr;
    QListWidget *m_searchResults = nullptr;
};
