#include "repairdlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/help/helptopics.h"
#include "app/help/openhelp.h"
#include "results/ui/repairpreviewdlg.h"

CRepairDlg::CRepairDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("URL Link Disable and File Repair"));
    // Modal to the main window only, so that the help window stays usable
    // while the dialog is open.
    setWindowModality(Qt::WindowModal);

    auto *group = new QGroupBox(
        QStringLiteral("When Vantrel finds the offending URL in the file do the following:"), this);
    m_radioDisable = new QRadioButton(
        QStringLiteral("Disable the entire line of text containing the URL"), group);
    m_radioReplace =
        new QRadioButton(QStringLiteral("Replace the URL text with the name of the file"), group);
    m_radioUpdate =
        new QRadioButton(QStringLiteral("Update moved links to where they lead"), group);
    m_radioUpdate->setToolTip(QStringLiteral(
        "Links moved for good (301, 308) to a working page get its address; others stay"));
    auto *choices = new QVBoxLayout(group);
    choices->addWidget(m_radioDisable);
    choices->addWidget(m_radioReplace);
    choices->addWidget(m_radioUpdate);
    auto *note = new QLabel(
        QStringLiteral("No text is deleted. The bad URL is preserved as an HTML comment."), this);
    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(note);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_previewButton =
        buttons->addButton(QStringLiteral("Preview..."), QDialogButtonBox::ActionRole);
    m_previewButton->setToolTip(
        QStringLiteral("Show what the repair would change, changing nothing"));
    m_previewButton->hide();
    // Queued, so that an assistive tool pressing Preview... is answered
    // before the preview window opens.
    connect(
        m_previewButton, &QPushButton::clicked, this, [this] { OnPreview(); },
        Qt::QueuedConnection);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { OpenHelp(this, HelpTopic::Repair); });
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { OpenHelp(this, HelpTopic::Repair); });
}

int CRepairDlg::exec()
{
    m_radioDisable->setChecked(m_nType == 0);
    m_radioReplace->setChecked(m_nType == 1);
    m_radioUpdate->setChecked(m_nType == 2);
    return QDialog::exec();
}

void CRepairDlg::accept()
{
    m_nType = ChosenType();
    QDialog::accept();
}

void CRepairDlg::SetPreview(std::function<RepairPreview(int)> preview)
{
    m_preview = std::move(preview);
    m_previewButton->setVisible(static_cast<bool>(m_preview));
}

int CRepairDlg::ChosenType() const
{
    if (m_radioUpdate->isChecked())
        return 2;
    return m_radioReplace->isChecked() ? 1 : (m_radioDisable->isChecked() ? 0 : -1);
}

void CRepairDlg::OnPreview()
{
    if (!m_preview || ChosenType() < 0)
        return;
    CRepairPreviewDlg preview(this, m_preview(ChosenType()));
    preview.exec();
}
