#pragma once

#include <QDialog>

class QRadioButton;

// "URL Link Disable and File Repair": how each reported link is to be
// disabled in its page.
class CRepairDlg final : public QDialog
{
public:
    explicit CRepairDlg(QWidget *parent);

    // 0 disables the whole line, 1 replaces the URL text by the file's name.
    int m_nType = 0;

    int exec() override;
    void accept() override;

private:
    QRadioButton *m_radioDisable = nullptr;
    QRadioButton *m_radioReplace = nullptr;
};
