#include "selectfilesdlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

#include "app/help/helptopics.h"
#include "app/help/openhelp.h"
#include "app/textlimit.h"
#include "discovery/chosenfile.h"
#include "settings/regsettings.h"

namespace {

constexpr int kMaxPathChars = 1000;

QString ChooseFileToOpen(QWidget *parent, const QString &start)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), start,
                                        QStringLiteral("HTML files (*.html *.htm);;All Files (*)"));
}

} // namespace

CSelectFilesDlg::CSelectFilesDlg(const CRegSettings &settings, QWidget *parent)
    : QDialog(parent), m_chooseFile(ChooseFileToOpen), m_settings(settings)
{
    setWindowTitle(QStringLiteral("Select File(s) to Test"));
    // Modal to the main window only, so that the help window stays usable
    // while the dialog is open.
    setWindowModality(Qt::WindowModal);

    auto *label = new QLabel(QStringLiteral("&File:"), this);
    m_editFile = new QLineEdit(this);
    m_editFile->setAccessibleName(QStringLiteral("File"));
    m_editFile->setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    label->setBuddy(m_editFile);
    auto *browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setAutoDefault(false);
    m_checkAllFiles = new QCheckBox(QStringLiteral("Test all files in this directory"), this);
    m_checkRecurse =
        new QCheckBox(QStringLiteral("Test in this directory and all sub-directories"), this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_editFile, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(m_checkAllFiles, 1, 1, 1, 2);
    grid->addWidget(m_checkRecurse, 2, 1, 1, 2);
    grid->addWidget(buttons, 3, 0, 1, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // The file dialog opens after the press has returned, so that an
    // assistive tool pressing Browse... is answered before it opens.
    connect(
        browse, &QPushButton::clicked, this, [this] { OnBrowse(); }, Qt::QueuedConnection);
    // Ticking the sub-directories box ticks the all-files box; unticking it
    // leaves the other alone.
    connect(m_checkRecurse, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked)
            m_checkAllFiles->setChecked(true);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { OpenHelp(this, HelpTopic::SelectFiles); });
}

int CSelectFilesDlg::exec()
{
    m_editFile->setText(QFile::decodeName(m_strFile));
    m_checkRecurse->setChecked(m_bRecurse);
    m_checkAllFiles->setChecked(m_bAllFiles);
    m_editFile->selectAll();
    m_editFile->setFocus();
    return QDialog::exec();
}

void CSelectFilesDlg::accept()
{
    if (!AcceptsLength(this, m_editFile, kMaxPathChars))
        return;
    const QByteArray path = QFile::encodeName(m_editFile->text());
    const QString why = m_check ? m_check(path, m_checkAllFiles->isChecked()) : QString();
    if (!why.isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vantrel"), why, QMessageBox::Ok, this);
        box.exec();
        m_editFile->setFocus();
        return;
    }
    m_strFile = path;
    m_bRecurse = m_checkRecurse->isChecked();
    m_bAllFiles = m_checkAllFiles->isChecked();
    QDialog::accept();
}

void CSelectFilesDlg::OnBrowse()
{
    // Browsing starts in the directory of the file last chosen, not of a
    // path just typed.
    const QByteArray remembered = m_settings.ReadString("FileSel", "Starter", {});
    QString start;
    if (!remembered.isEmpty())
        start = QFile::decodeName(RunDirectoryOf(remembered));
    const QString chosen = m_chooseFile(this, start);
    if (!chosen.isEmpty())
        m_editFile->setText(chosen);
}
