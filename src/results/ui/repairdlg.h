#pragma once

#include <functional>

#include <QDialog>

#include "results/linkrepair.h"

class QPushButton;
class QRadioButton;

// "URL Link Disable and File Repair": how each reported link is to be
// disabled in its page, or whether moved links are to be updated.
class CRepairDlg final : public QDialog
{
public:
    explicit CRepairDlg(QWidget *parent);

    // 0 disables the link's element, 1 replaces the URL text by the file's
    // name, 2 updates links moved for good.
    int m_nType = 0;

    int exec() override;
    void accept() override;

    // What "Preview..." shows for the chosen type; without it the button is
    // not offered.
    void SetPreview(std::function<RepairPreview(int type)> preview);

private:
    // The chosen type: 0, 1, 2, or -1 when none is chosen.
    int ChosenType() const;
    void OnPreview();

    std::function<RepairPreview(int)> m_preview;
    QPushButton *m_previewButton = nullptr;
    QRadioButton *m_radioDisable = nullptr;
    QRadioButton *m_radioReplace = nullptr;
    QRadioButton *m_radioUpdate = nullptr;
};
