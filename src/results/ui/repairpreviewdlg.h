#pragma once

#include <QDialog>

struct RepairPreview;

// "Repair Preview": the changes a repair would make, as a unified diff, and
// what it would leave undone. Nothing has been changed when it shows.
class CRepairPreviewDlg final : public QDialog
{
public:
    CRepairPreviewDlg(QWidget *parent, const RepairPreview &preview);
};
