#include "repairpreviewdlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "engine/ui/reporttext.h"
#include "results/linkrepair.h"

namespace {

QPlainTextEdit *TextBox(QWidget *parent, const QString &text, const QString &name)
{
    auto *box = new QPlainTextEdit(parent);
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->setPlainText(text);
    box->setAccessibleName(name);
    return box;
}

} // namespace

CRepairPreviewDlg::CRepairPreviewDlg(QWidget *parent, const RepairPreview &preview)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Repair Preview"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    if (preview.diff.isEmpty()) {
        layout->addWidget(new QLabel(QStringLiteral("The repair would change no page."), this));
    } else {
        layout->addWidget(new QLabel(
            QStringLiteral("The repair would make these changes (nothing has been changed yet):"),
            this));
        layout->addWidget(TextBox(this, DecodeReportPiece(preview.diff), QStringLiteral("Changes")),
                          3);
    }
    if (!preview.notes.isEmpty()) {
        layout->addWidget(new QLabel(QStringLiteral("It would leave these as they are:"), this));
        layout->addWidget(TextBox(this, preview.notes, QStringLiteral("Left as they are")), 1);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 480);
}
