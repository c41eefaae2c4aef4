#pragma once

#include <QDialog>

class CStaticLink;

// The About box: the program's icon, name and version, copyright, what the
// program does, a legal notice, the author and two live links, the contact
// e-mail address and the home page. The links' visited flags belong to the
// creator, so an opened link stays purple in every later About box.
class CAboutDlg final : public QDialog
{
    Q_OBJECT

public:
    CAboutDlg(int &mailVisited, int &homeVisited, QWidget *parent = nullptr);

    CStaticLink *MailLink() const { return m_linkMail; }
    CStaticLink *HomeLink() const { return m_linkHome; }

private:
    QWidget *CreateHeader();
    QWidget *CreateGroups();

    CStaticLink *m_linkMail = nullptr;
    CStaticLink *m_linkHome = nullptr;
};
