#include "settingsdlg.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "app/help/helptopics.h"
#include "app/help/openhelp.h"
#include "controls/colorpickerbutton.h"
#include "controls/dialogunits.h"
#include "engine/linkexclusions.h"
#include "settings/ui/filterlistbox.h"

namespace {

// A preset's group: a frame with its title, a line of explanation and the
// button that applies the preset.
QGroupBox *PresetGroup(const QString &title, const QString &text, QPushButton *button,
                       const CDialogUnits &units)
{
    auto *group = new QGroupBox(title);
    // As wide as the layout has them, or wider when the font needs it.
    button->setMinimumSize(qMax(units.X(90), button->sizeHint().width() + units.X(8)), units.Y(15));
    group->setFixedWidth(qMax(units.X(110), button->minimumWidth() + units.X(20)));
    auto *explanation = new QLabel(text);
    explanation->setWordWrap(true);
    auto *layout = new QVBoxLayout(group);
    layout->addWidget(explanation);
    layout->addSpacing(units.Y(5));
    layout->addWidget(button, 0, Qt::AlignHCenter);
    return group;
}

QPushButton *DialogButton(const QString &text, const CDialogUnits &units)
{
    auto *button = new QPushButton(text);
    button->setMinimumSize(units.X(50), units.Y(14));
    return button;
}

} // namespace

CSettingsDlg::CSettingsDlg(const std::array<QByteArray, kCategoryCount> &categoryTexts,
                           QWidget *parent)
    : QDialog(parent), m_btnColor(new CColorPickerButton(this)),
      m_lstFilter(new CFilterListBox(categoryTexts, this)), m_editTimeout(new QLineEdit(this)),
      m_spinJobs(new QSpinBox(this)), m_chkTodaysWeb(new QCheckBox(this)),
      m_editSiteRoot(new QLineEdit(this)), m_spinRetries(new QSpinBox(this)),
      m_spinRetryWait(new QSpinBox(this)), m_spinHostInterval(new QSpinBox(this)),
      m_editProxy(new QLineEdit(this)), m_editExclusions(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("Settings"));
    // Modal to the main window only, so that the help window stays usable
    // while the dialog is open.
    setWindowModality(Qt::WindowModal);
    const CDialogUnits units(font());

    const QString listTitle =
        QStringLiteral("Report Results for Checked Items - or use the Defaults");
    auto *listLabel = new QLabel(listTitle, this);
    m_lstFilter->setAccessibleName(listTitle);
    m_lstFilter->setMinimumHeight(units.Y(135));

    auto *hawk = new QPushButton(QStringLiteral("Watch Like a Hawk"), this);
    auto *oneEye = new QPushButton(QStringLiteral("Watch With One Eye Shut"), this);
    auto *presets = new QVBoxLayout;
    presets->setSpacing(units.Y(5));
    presets->addSpacing(units.Y(5));
    presets->addWidget(PresetGroup(QStringLiteral("Defaults for Type A Users"),
                                   QStringLiteral("Report every defect to me (code 200 is not a "
                                                  "defect)"),
                                   hawk, units));
    presets->addWidget(PresetGroup(QStringLiteral("Defaults for Type B Users"),
                                   QStringLiteral("Report only the very worst offenders to me"),
                                   oneEye, units));
    presets->addStretch();
    // In the free place under the presets: today's web mode. Its text is kept
    // short so that the column keeps its width; the rest is its description.
    m_chkTodaysWeb->setText(QStringLiteral("Test Today's Web"));
    const QString todaysWebWhat = QStringLiteral("https, ports, IPv6, international names");
    m_chkTodaysWeb->setToolTip(todaysWebWhat);
    m_chkTodaysWeb->setAccessibleDescription(todaysWebWhat);
    presets->addWidget(m_chkTodaysWeb);

    const QString timeoutText = QStringLiteral("How Long to Wait for Slow Hosts? (seconds)");
    auto *timeoutLabel = new QLabel(timeoutText, this);
    timeoutLabel->setBuddy(m_editTimeout);
    m_editTimeout->setAccessibleName(timeoutText);
    m_editTimeout->setFixedWidth(
        qMax(units.X(20), m_editTimeout->fontMetrics().horizontalAdvance(QStringLiteral("0000"))));
    auto *timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(m_editTimeout);
    timeoutRow->addSpacing(units.X(3));
    timeoutRow->addWidget(timeoutLabel);
    timeoutRow->addStretch();

    // In the free place right of the time-out, under the presets: how many
    // links the run may test at once (1, one after the other, is the pace
    // the program always had).
    const QString jobsText = QStringLiteral("Links Tested at Once:");
    auto *jobsLabel = new QLabel(jobsText, this);
    jobsLabel->setBuddy(m_spinJobs);
    m_spinJobs->setAccessibleName(jobsText);
    m_spinJobs->setRange(1, kMaxJobs);
    auto *jobsRow = new QHBoxLayout;
    jobsRow->addWidget(jobsLabel);
    jobsRow->addWidget(m_spinJobs);
    jobsRow->addStretch();

    // Today's web mode checks a site's own files on disk: links that begin
    // with "/" lead into this directory.
    const QString siteRootText = QStringLiteral("Site Root for Links Starting with /:");
    auto *siteRootLabel = new QLabel(siteRootText, this);
    siteRootLabel->setBuddy(m_editSiteRoot);
    m_editSiteRoot->setAccessibleName(siteRootText);
    m_editSiteRoot->setPlaceholderText(QStringLiteral("the directory a test starts from"));
    auto *siteRootRow = new QHBoxLayout;
    siteRootRow->addWidget(siteRootLabel);
    siteRootRow->addWidget(m_editSiteRoot, 1);

    // Today's web mode with busy hosts: links that may pass later are tried
    // again, and requests to one host keep a pause between them. One field a
    // line under the time-out, so that the dialog keeps its width.
    auto *politeRows = new QGridLayout;
    const auto addPoliteField = [this, politeRows](QSpinBox *spin, const QString &text,
                                                   int highest) {
        auto *label = new QLabel(text, this);
        label->setBuddy(spin);
        spin->setAccessibleName(text);
        spin->setRange(0, highest);
        const int row = politeRows->rowCount();
        politeRows->addWidget(label, row, 0);
        politeRows->addWidget(spin, row, 1);
    };
    addPoliteField(m_spinRetries, QStringLiteral("Tries Again for Busy Hosts:"), kMaxRetries);
    addPoliteField(m_spinRetryWait, QStringLiteral("Longest Wait (seconds):"), kMaxRetryWaitSec);
    addPoliteField(m_spinHostInterval, QStringLiteral("Pause per Host (ms):"), kMaxHostIntervalMs);
    politeRows->setColumnStretch(2, 1);
    // Today's web mode reaches the web through this proxy; empty, through the
    // one the environment names (http_proxy, https_proxy), if any.
    const QString proxyText = QStringLiteral("Proxy:");
    auto *proxyLabel = new QLabel(proxyText, this);
    proxyLabel->setBuddy(m_editProxy);
    m_editProxy->setAccessibleName(proxyText);
    m_editProxy->setPlaceholderText(
        QStringLiteral("http_proxy and https_proxy of the environment"));
    auto *proxyRow = new QHBoxLayout;
    proxyRow->addWidget(proxyLabel);
    proxyRow->addWidget(m_editProxy, 1);
    // Links that no run tests: regular expressions, one a line, searched for
    // in each link's address.
    const QString exclusionsText = QStringLiteral("Exclude Links Matching (one pattern a line):");
    auto *exclusionsLabel = new QLabel(exclusionsText, this);
    exclusionsLabel->setBuddy(m_editExclusions);
    m_editExclusions->setAccessibleName(exclusionsText);
    m_editExclusions->setTabChangesFocus(true);
    m_editExclusions->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editExclusions->setFixedHeight(units.Y(40));

    const QString colorText = QStringLiteral("BackGround Color");
    m_btnColor->setAccessibleName(colorText);
    m_btnColor->setFixedSize(units.X(50), qMax(units.Y(14), m_btnColor->sizeHint().height()));
    auto *colorLabel = new QLabel(colorText, this);
    colorLabel->setBuddy(m_btnColor);
    auto *ok = DialogButton(QStringLiteral("OK"), units);
    auto *cancel = DialogButton(QStringLiteral("Cancel"), units);
    auto *help = DialogButton(QStringLiteral("Help"), units);
    ok->setDefault(true);
    auto *bottomRow = new QHBoxLayout;
    bottomRow->addWidget(m_btnColor);
    bottomRow->addSpacing(units.X(5));
    bottomRow->addWidget(colorLabel);
    bottomRow->addStretch();
    bottomRow->addWidget(ok);
    bottomRow->addWidget(cancel);
    bottomRow->addWidget(help);

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->setHorizontalSpacing(units.X(5));
    grid->addWidget(listLabel, 0, 0);
    grid->addWidget(m_lstFilter, 1, 0);
    grid->addLayout(presets, 0, 1, 2, 1);
    grid->addLayout(timeoutRow, 2, 0);
    grid->addLayout(jobsRow, 2, 1);
    grid->addLayout(siteRootRow, 3, 0, 1, 2);
    grid->addLayout(proxyRow, 4, 0, 1, 2);
    grid->addLayout(politeRows, 5, 0);
    grid->addWidget(exclusionsLabel, 6, 0, 1, 2);
    grid->addWidget(m_editExclusions, 7, 0, 1, 2);
    grid->addLayout(bottomRow, 8, 0, 1, 2);

    setTabOrder(m_lstFilter, hawk);
    setTabOrder(hawk, oneEye);
    setTabOrder(oneEye, m_chkTodaysWeb);
    setTabOrder(m_chkTodaysWeb, m_editTimeout);
    setTabOrder(m_editTimeout, m_spinJobs);
    setTabOrder(m_spinJobs, m_editSiteRoot);
    setTabOrder(m_editSiteRoot, m_editProxy);
    setTabOrder(m_editProxy, m_spinRetries);
    setTabOrder(m_spinRetries, m_spinRetryWait);
    setTabOrder(m_spinRetryWait, m_spinHostInterval);
    setTabOrder(m_spinHostInterval, m_editExclusions);
    setTabOrder(m_editExclusions, m_btnColor);
    setTabOrder(m_btnColor, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, help);
    m_lstFilter->setFocus();

    connect(hawk, &QPushButton::clicked, this, &CSettingsDlg::OnWatchLikeAHawk);
    connect(oneEye, &QPushButton::clicked, this, &CSettingsDlg::OnWatchWithOneEyeShut);
    connect(ok, &QPushButton::clicked, this, &CSettingsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSettingsDlg::reject);
    connect(help, &QPushButton::clicked, this, &CSettingsDlg::OnHelpButton);

    SetValues(m_btnColor->Color(), m_nTimeout, kFilterSafeDefault);
    SetJobs(1);
    SetPolite(PoliteSettings{});
}

void CSettingsDlg::SetPolite(const PoliteSettings &polite)
{
    m_spinRetries->setValue(polite.retries);
    m_spinRetryWait->setValue(polite.waitMaxMs / 1000);
    m_spinHostInterval->setValue(polite.hostIntervalMs);
}

PoliteSettings CSettingsDlg::Polite() const
{
    PoliteSettings polite;
    polite.retries = m_spinRetries->value();
    polite.waitMaxMs = m_spinRetryWait->value() * 1000;
    polite.hostIntervalMs = m_spinHostInterval->value();
    return polite;
}

void CSettingsDlg::SetJobs(int jobs)
{
    m_spinJobs->setValue(jobs);
}

int CSettingsDlg::Jobs() const
{
    return m_spinJobs->value();
}

void CSettingsDlg::SetTodaysWeb(bool on)
{
    m_chkTodaysWeb->setChecked(on);
}

bool CSettingsDlg::TodaysWeb() const
{
    return m_chkTodaysWeb->isChecked();
}

void CSettingsDlg::SetSiteRoot(const QByteArray &directory)
{
    m_editSiteRoot->setText(QFile::decodeName(directory));
}

QByteArray CSettingsDlg::SiteRoot() const
{
    return QFile::encodeName(m_editSiteRoot->text().trimmed());
}

void CSettingsDlg::SetProxy(const QByteArray &url)
{
    m_editProxy->setText(QString::fromUtf8(url));
}

QByteArray CSettingsDlg::Proxy() const
{
    return m_editProxy->text().trimmed().toUtf8();
}

void CSettingsDlg::SetExclusions(const QByteArray &patterns)
{
    m_editExclusions->setPlainText(QString::fromUtf8(patterns));
}

QByteArray CSettingsDlg::Exclusions() const
{
    return m_editExclusions->toPlainText().toUtf8();
}

void CSettingsDlg::SetValues(ColorRef backColor, int timeoutSec, const QByteArray &filter)
{
    m_btnColor->SetColor(backColor);
    m_nTimeout = timeoutSec;
    m_editTimeout->setText(QString::number(timeoutSec));
    m_strFilter = filter;
    m_lstFilter->LoadChecks(filter);
}

ColorRef CSettingsDlg::BackColor() const
{
    return m_btnColor->Color();
}

void CSettingsDlg::accept()
{
    if (!ValidateTimeout() || !ValidateExclusions())
        return;
    m_strFilter = m_lstFilter->Filter();
    QDialog::accept();
}

void CSettingsDlg::OnWatchLikeAHawk()
{
    m_lstFilter->LoadChecks(kFilterWatchLikeAHawk);
}

void CSettingsDlg::OnWatchWithOneEyeShut()
{
    m_lstFilter->LoadChecks(kFilterWatchWithOneEyeShut);
}

void CSettingsDlg::OnHelpButton()
{
    OpenHelp(this, HelpTopic::Settings);
}

bool CSettingsDlg::ValidateTimeout()
{
    bool isNumber = false;
    const qlonglong value = m_editTimeout->text().trimmed().toLongLong(&isNumber);
    QString problem;
    if (!isNumber)
        problem = QStringLiteral("Please enter an integer.");
    else if (value < kMinTimeout || value > kMaxTimeout)
        problem = QStringLiteral("Please enter an integer between %1 and %2.")
                      .arg(kMinTimeout)
                      .arg(kMaxTimeout);
    if (problem.isEmpty()) {
        m_nTimeout = static_cast<int>(value);
        return true;
    }
    ShowProblemLater(problem, m_editTimeout);
    return false;
}

bool CSettingsDlg::ValidateExclusions()
{
    QString why;
    if (CLinkExclusions().AddLines(Exclusions(), QStringLiteral("Exclude Links Matching"), &why))
        return true;
    ShowProblemLater(
        QStringLiteral("This pattern is not a valid regular expression.\n\n%1").arg(why),
        m_editExclusions);
    return false;
}

void CSettingsDlg::ShowProblemLater(const QString &problem, QWidget *field)
{
    // Told from the event loop, so that the OK press that asked returns at
    // once (an assistive tool pressing OK waits for that), and the field is
    // ready for a new value when the message is closed.
    QTimer::singleShot(0, this, [this, problem, field] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Vantrel"), problem, QMessageBox::Ok,
                        this);
        box.exec();
        field->setFocus();
        if (auto *line = qobject_cast<QLineEdit *>(field))
            line->selectAll();
    });
}
