#include "exportdlg.h"

#include <algorithm>
#include <iterator>

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

// What each format is called and the extension of its files, in the order of
// the formats' numbers.
struct FormatFiles
{
    const char *radio;
    const char *extension;
    const char *filter;
};

constexpr FormatFiles kFormats[] = {
    {"Export as Text file", "txt", "Text Files (*.txt)"},
    {"Export as HTML file", "html", "HTML Files (*.html)"},
    {"Export as JSON file", "json", "JSON Files (*.json)"},
    {"Export as CSV file", "csv", "CSV Files (*.csv)"},
};
constexpr int kFormatCount = int(std::size(kFormats));

QString ChooseFileToSave(QWidget *parent, const QString &start, int format)
{
    const FormatFiles &files = kFormats[format >= 0 && format < kFormatCount ? format : 0];
    QFileDialog dialog(parent, QStringLiteral("Save As"), start);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The command asks itself before it replaces a file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QLatin1String(files.extension));
    dialog.setNameFilters({QLatin1String(files.filter), QStringLiteral("All Files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString SwitchExportExtension(const QString &path, int format)
{
    if (format < 0 || format >= kFormatCount)
        return path;
    for (const FormatFiles &files : kFormats) {
        const QString extension = QLatin1Char('.') + QLatin1String(files.extension);
        if (path.size() > extension.size() && path.endsWith(extension))
            return path.chopped(extension.size()) + QLatin1Char('.') +
                   QLatin1String(kFormats[format].extension);
    }
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
    for (const FormatFiles &files : kFormats)
        m_radios.append(new QRadioButton(QLatin1String(files.radio), this));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_editPath, 0, 1);
    grid->addWidget(browse, 0, 2);
    for (int i = 0; i < kFormatCount; ++i)
        grid->addWidget(m_radios[i], 1 + i, 1, 1, 2);
    grid->addWidget(buttons, 1 + kFormatCount, 0, 1, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // The file dialog opens after the press has returned, so that an
    // assistive tool pressing Browse... is answered before it opens.
    connect(
        browse, &QPushButton::clicked, this, [this] { OnBrowse(); }, Qt::QueuedConnection);
    for (QRadioButton *radio : std::as_const(m_radios))
        connect(radio, &QRadioButton::clicked, this, [this] { OnExportFormat(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { OpenHelp(this, HelpTopic::Export); });
}

int CExportDlg::exec()
{
    m_editPath->setText(QFile::decodeName(m_strPath));
    for (int i = 0; i < kFormatCount; ++i)
        m_radios[i]->setChecked(m_nFormat == i);
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
    for (int i = 0; i < kFormatCount; ++i) {
        if (m_radios[i]->isChecked())
            return i;
    }
    return -1;
}

void CExportDlg::OnBrowse()
{
    const QString chosen = m_chooseFile(this, m_editPath->text(), std::max(ShownFormat(), 0));
    if (!chosen.isEmpty())
        m_editPath->setText(chosen);
}

void CExportDlg::OnExportFormat()
{
    m_editPath->setText(SwitchExportExtension(m_editPath->text(), ShownFormat()));
}
