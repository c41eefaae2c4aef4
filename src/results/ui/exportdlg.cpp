#include "exportdlg.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/help/helptopics.h"
#include "app/help/openhelp.h"
#include "app/textlimit.h"

namespace {

constexpr int kMaxPathChars = 200;

QString ChooseFileToSave(QWidget *parent, const QString &start, int format)
{
    QFileDialog dialog(parent, QStringLiteral("Save As"), start);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The command asks itself before it replaces a file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (format == 0) {
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        dialog.setNameFilters(
            {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")});
    } else {
        dialog.setDefaultSuffix(QStringLiteral("html"));
        dialog.setNameFilters(
            {QStringLiteral("HTML Files (*.html)"), QStringLiteral("All Files (*)")});
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString SwitchExportExtension(const QString &path, int format)
{
    const QString text = QStringLiteral(".txt");
    const QString html = QStringLiteral(".html");
    if (format == 1 && path.size() > text.size() && path.endsWith(text))
        return path.chopped(text.size()) + html;
    if (format == 0 && path.size() > html.size() && path.endsWith(html))
        return path.chopped(html.size()) + text;
    return path;
}

CExportDlg::CExportDlg(QWidget *parent) : QDialog(parent), m_chooseFile(ChooseFileToSave)
{
    setWindowTitle(QStringLiteral("Export"));
    // Modal to the main window only, so that the help window stays usable
    // while the dialog is open.
    setWindowModality(Qt::WindowModal);

    auto *label = new QLabel(QStringLiteral("&File:"), this);
    m_editPath = new QLineEdit(this);
    m_editPath->setAccessibleName(QStringLiteral("File"));
    m_editPath->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    label->setBuddy(m_editPath);
    auto *browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setAutoDefault(false);
    m_radioText = new QRadioButton(QStringLiteral("Export as Text file"), this);
    m_radioHtml = new QRadioButton(QStringLiteral("Export as HTML file"), this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_editPath, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(m_radioText, 1, 1, 1, 2);
    grid->addWidget(m_radioHtml, 2, 1, 1, 2);
    grid->addWidget(buttons, 3, 0, 1, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // The file dialog opens after the press has returned, so that an
    // assistive tool pressing Browse... is answered before it opens.
    connect(
        browse, &QPushButton::clicked, this, [this] { OnBrowse(); }, Qt::QueuedConnection);
    connect(m_radioText, &QRadioButton::clicked, this, [this] { OnExportFormat(); });
    connect(m_radioHtml, &QRadioButton::clicked, this, [this] { OnExportFormat(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { OpenHelp(this, HelpTopic::Export); });
}

int CExportDlg::exec()
{
    m_editPath->setText(QFile::decodeName(m_strPath));
    m_radioText->setChecked(m_nFormat == 0);
    m_radioHtml->setChecked(m_nFormat == 1);
    m_editPath->selectAll();
    m_editPath->setFocus();
    return QDialog::exec();
}

void CExportDlg::accept()
{
    if (!AcceptsLength(this, m_editPath, kMaxPathChars))
        return;
    m_strPath = QFile::encodeName(m_editPath->text());
    m_nFormat = ShownFormat();
    QDialog::accept();
}

int CExportDlg::ShownFormat() const
{
    if (m_radioHtml->isChecked())
        return 1;
    return m_radioText->isChecked() ? 0 : -1;
}

void CExportDlg::OnBrowse()
{
    const QString chosen = m_chooseFile(this, m_editPath->text(), ShownFormat() == 1 ? 1 : 0);
    if (!chosen.isEmpty())
        m_editPath->setText(chosen);
}

void CExportDlg::OnExportFormat()
{
    m_editPath->setText(SwitchExportExtension(m_editPath->text(), ShownFormat()));
}
