#include "vantrelview.h"

#include <utility>

#include <QApplication>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>

#include "app/framestatusbar.h"

#include "discovery/chosenfile.h"
#include "discovery/ui/progressdlg.h"
#include "discovery/ui/selectfilesdlg.h"
#include "engine/joblimits.h"
#include "engine/qttimerservice.h"
#include "engine/testengine.h"
#include "engine/ui/reporttext.h"
#include "results/linkrepair.h"
#include "results/reportexport.h"
#include "results/retestinput.h"
#include "results/ui/exportdlg.h"
#include "results/ui/repairdlg.h"
#include "results/ui/repairprogress.h"
#include "settings/regsettings.h"
#include "settings/ui/settingscommand.h"

namespace {

constexpr int kDefaultFontHeight = 100;
constexpr int kDefaultFontWeight = 700;
// How long report text may wait before it is shown: a few times a second is
// live to the eye and keeps laying out text a small part of a fast run's work.
constexpr int kShowTextMs = 100;
// How often a listing's count of files found is shown.
constexpr int kListingProgressMs = 200;

// Text on a dark background is drawn light, so that no choice of colour
// makes the report unreadable.
QColor TextColorFor(const QColor &background)
{
    return background.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
}

} // namespace

CVantrelView::CVantrelView(CRegSettings &settings, CFrameStatusBar &statusBar,
                           EngineOptions options, QWidget *parent)
    : QPlainTextEdit(parent), m_settings(settings), m_statusBar(statusBar)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUndoRedoEnabled(false);
    setAcceptDrops(false);
    setAccessibleName(QStringLiteral("Test results"));
    m_showText.setSingleShot(true);
    m_showText.setInterval(kShowTextMs);
    connect(&m_showText, &QTimer::timeout, this, [this] {
        ShowPendingText();
        ShowPendingStatus();
    });
    setWhatsThis(QStringLiteral("The results window: the report of every run, one line per "
                                "tested file and two lines per reported link."));
    m_listingProgress.setInterval(kListingProgressMs);
    connect(&m_listingProgress, &QTimer::timeout, this, [this] { ShowListingProgress(); });
    connect(&m_listing, &CFileListing::listed, this, &CVantrelView::OnListed);
    connect(&m_listing, &CFileListing::ended, this, [this] {
        m_listingProgress.stop();
        m_statusBar.ClearFittingMessage();
        Q_EMIT commandStateChanged();
    });

    m_timers = std::make_unique<QtTimerService>(
        [this](int id) {
            if (m_engine)
                m_engine->OnTimer(id);
        },
        this);
    // The desktop tests as many links at once as the terminal front end,
    // unless the user has chosen otherwise.
    options.defaultJobs = kDefaultDesktopJobs;
    m_engine = std::make_unique<CTestEngine>(*this, *m_timers, settings, std::move(options));

    const int stored = settings.ReadInt("Settings", "BackColor", -1);
    if (stored == -1) {
        m_crBackColor = RefFromColor(palette().color(QPalette::Base));
        settings.WriteInt("Settings", "BackColor", static_cast<int>(m_crBackColor));
    } else {
        m_crBackColor = static_cast<ColorRef>(stored);
    }
    SetBackColor(m_crBackColor);
    ApplyFont(settings.ReadInt("Font", "Height", kDefaultFontHeight),
              settings.ReadInt("Font", "Weight", kDefaultFontWeight),
              settings.ReadString("Font", "Face", "Arial"));
}

CVantrelView::~CVantrelView()
{
    CloseEngine();
}

void CVantrelView::CloseEngine()
{
    // A listing in flight ends without a run, and without showing itself.
    disconnect(&m_listing, nullptr, this, nullptr);
    m_listing.Stop();
    m_listingProgress.stop();
    m_engine.reset();
    m_timers.reset();
}

void CVantrelView::ApplyFont(int height, int weight, const QByteArray &face)
{
    QFont font(QString::fromUtf8(face));
    font.setPointSizeF(height > 0 ? height / 10.0 : kDefaultFontHeight / 10.0);
    font.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
    setFont(font);
}

void CVantrelView::SetBackColor(ColorRef color)
{
    m_crBackColor = color;
    QPalette colours = palette();
    const QColor background = ColorFromRef(color);
    colours.setColor(QPalette::Base, background);
    colours.setColor(QPalette::Text, TextColorFor(background));
    setPalette(colours);
    viewport()->update();
}

void CVantrelView::OnSelectFiles()
{
    if (!m_engine->CanSelectFiles() || Busy())
        return;
    CSelectFilesDlg dialog(m_settings, window());
    dialog.m_strFile = m_settings.ReadString("FileSel", "Starter", {});
    dialog.m_bRecurse = m_settings.ReadInt("FileSel", "Recurse", 0) != 0;
    dialog.m_bAllFiles = m_settings.ReadInt("FileSel", "AllFiles", 0) != 0;
    // A refusal is told while the dialog stays open with the path as typed.
    dialog.m_check = [this](const QByteArray &path, bool allFiles) {
        return ChosenPathProblem(path, allFiles);
    };
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_settings.WriteString("FileSel", "Starter", dialog.m_strFile);
    m_settings.WriteInt("FileSel", "Recurse", dialog.m_bRecurse ? 1 : 0);
    m_settings.WriteInt("FileSel", "AllFiles", dialog.m_bAllFiles ? 1 : 0);
    // A folder stands for its HTML files: the run takes the directory of a
    // path within it.
    const bool folder = IsChosenFolder(dialog.m_strFile);
    const QByteArray path = folder ? PathWithinFolder(dialog.m_strFile) : dialog.m_strFile;
    const bool allFiles = folder || dialog.m_bAllFiles;
    if (!allFiles) {
        m_engine->StartTest(path, dialog.m_bRecurse, false);
        return;
    }
    // A directory is listed off the window's thread: a large tree takes a
    // while, and the window answers meanwhile.
    m_listing.Start(path, dialog.m_bRecurse, true);
    m_listingProgress.start();
    ShowListingProgress();
    Q_EMIT commandStateChanged();
}

void CVantrelView::ShowListingProgress()
{
    const int found = m_listing.Found();
    m_statusBar.ShowFittingMessage(
        QStringLiteral("Listing the HTML files to test: %1 found").arg(found),
        QStringLiteral("%1 files found").arg(found));
}

void CVantrelView::OnListed(const QByteArray &path, const QList<QByteArray> &files)
{
    if (m_engine)
        m_engine->StartListedTest(path, files);
}

QString CVantrelView::ChosenPathProblem(const QByteArray &path, bool allFiles) const
{
    if (IsChosenFolder(path))
        return RunDirectoryProblem(PathWithinFolder(path));
    if (!CanOpenChosenFile(path))
        return QStringLiteral("The chosen file does not exist");
    return allFiles ? RunDirectoryProblem(path) : QString();
}

void CVantrelView::OnStopTest()
{
    if (IsListing())
        m_listing.Stop();
    else if (m_engine->CanStopTest())
        m_engine->OnStopTest();
}

void CVantrelView::OnRetestFailedLinks()
{
    ::OnRetestFailedLinks(*m_engine);
}

void CVantrelView::OnExportResults()
{
    if (!m_engine->CanExport())
        return;
    CExportDlg dialog(window());
    dialog.m_strPath = m_settings.ReadString("XportSel", "Starter", "results.txt");
    dialog.m_nFormat = m_settings.ReadInt("XportSel", "Text", 0);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ExportChoice choice;
    choice.path = dialog.m_strPath;
    choice.format = dialog.m_nFormat;
    ExportReport(choice, m_engine->ReportText(), *this, &m_settings);
}

void CVantrelView::OnRepairFailedLinks()
{
    if (Busy())
        return;
    ::OnRepairFailedLinks(
        *m_engine, [this] { return ChooseRepairType(m_engine->ReportText()); },
        [this](int type) { return RunRepair(m_engine->ReportText(), type); });
}

void CVantrelView::RetestLinks(const QList<ScannedFile> &pages)
{
    if (m_engine->CanRetestOrRepair() && !Busy() && !pages.isEmpty())
        m_engine->StartRetest(pages);
}

void CVantrelView::RepairLinks(const QByteArray &report)
{
    if (!m_engine->CanRetestOrRepair() || m_engine->IsRunning() || Busy())
        return;
    if (const std::optional<int> type = ChooseRepairType(report))
        RunRepair(report, *type);
}

bool CVantrelView::RunRepair(const QByteArray &report, int type)
{
    m_bRepairing = true;
    Q_EMIT commandStateChanged();
    CLinkRepair repair(*this, m_engine->WorkFiles());
    if (m_engine->TodaysWeb())
        repair.SetTodaysWeb(m_engine->SiteRoot());
    repair.SetStepHook(m_repairStepHook);
    const CRepairOutcome outcome = RepairOffThread(window(), repair, report, type);
    const bool repaired = outcome.AllRepaired();
    MessageBox(outcome.ClosingMessage(), repaired ? Icon::Information : Icon::None);
    m_bRepairing = false;
    Q_EMIT commandStateChanged();
    return repaired;
}

std::optional<int> CVantrelView::ChooseRepairType(const QByteArray &report)
{
    CRepairDlg dialog(window());
    dialog.m_nType = m_settings.ReadInt("Repair", "Type", 0);
    dialog.SetPreview([this, report](int type) {
        CLinkRepair repair(*m_engine);
        return repair.PreviewFromReport(report, type);
    });
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    m_settings.WriteInt("Repair", "Type", dialog.m_nType);
    return dialog.m_nType;
}

void CVantrelView::OnChooseFont()
{
    QFontDialog dialog(font(), window());
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setOption(QFontDialog::ScalableFonts);
    dialog.setWindowTitle(QStringLiteral("Font"));
    // Colour, underline and strike-out are not the window's to choose, nor
    // is the writing system.
    for (QGroupBox *group : dialog.findChildren<QGroupBox *>())
        group->hide();
    for (QComboBox *writingSystem : dialog.findChildren<QComboBox *>()) {
        writingSystem->hide();
        for (QLabel *label : dialog.findChildren<QLabel *>()) {
            if (label->buddy() == writingSystem)
                label->hide();
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QFont chosen = dialog.selectedFont();
    const QByteArray face = chosen.family().toUtf8();
    const int height = qRound(chosen.pointSizeF() * 10);
    const int weight = chosen.weight() >= QFont::DemiBold ? 700 : 400;
    m_settings.WriteString("Font", "Face", face);
    m_settings.WriteInt("Font", "Height", height);
    m_settings.WriteInt("Font", "Weight", weight);
    ApplyFont(height, weight, face);
}

void CVantrelView::OnClearWindow()
{
    m_engine->OnClearWindow();
}

void CVantrelView::OnSettings()
{
    CResultCategories &categories = m_engine->Categories();
    const ViewSettings current{m_crBackColor,
                               m_engine->TimeoutSeconds(),
                               categories.m_strFilter,
                               m_engine->Jobs(),
                               m_engine->TodaysWeb(),
                               m_engine->SiteRoot(),
                               m_engine->Polite(),
                               m_engine->Proxy(),
                               m_settings.ReadString("Settings", "ExcludeLinks", "")};
    const std::optional<ViewSettings> chosen =
        RunSettingsDialog(window(), m_settings, categories.m_strCategory, current);
    if (!chosen)
        return;
    // A run goes on under the new filter from its next outcome, and under the
    // new time-out and number of links at once from its next probe.
    categories.m_strFilter = chosen->filter;
    m_engine->SetTimeout(chosen->timeoutSec);
    m_engine->SetJobs(chosen->jobs, m_engine->JobsPerHost());
    m_engine->SetTodaysWeb(chosen->todaysWeb);
    m_engine->SetSiteRoot(chosen->siteRoot);
    m_engine->SetPolite(chosen->polite);
    m_engine->SetProxy(chosen->proxy);
    m_engine->SetExclusions(CLinkExclusions::FromSetting(chosen->exclusions));
    if (chosen->backColor != current.backColor)
        SetBackColor(chosen->backColor);
}

void CVantrelView::AppendText(const QByteArray &text)
{
    m_pendingText += DecodeReportPiece(text);
    if (!m_showText.isActive())
        m_showText.start();
}

void CVantrelView::ShowPendingText()
{
    m_showText.stop();
    if (m_pendingText.isEmpty())
        return;
    QScrollBar *scroll = verticalScrollBar();
    const bool following = scroll->value() == scroll->maximum();
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(std::exchange(m_pendingText, QString()));
    if (following)
        scroll->setValue(scroll->maximum());
}

void CVantrelView::ClearText()
{
    m_showText.stop();
    m_pendingText.clear();
    clear();
    ++m_nClears;
    Q_EMIT textCleared();
}

void CVantrelView::ShowStatus(const StatusEvent &event)
{
    const StatusTexts texts = TextsOf(event);
    if (texts.waitCursor)
        SetWaitCursor(*texts.waitCursor);
    // Pane texts are shown with the next batch of report text, not one by one.
    for (const auto &[pane, text] : texts.panes) {
        if (pane >= 1 && pane <= 2)
            m_pendingPanes[static_cast<std::size_t>(pane)] = text;
    }
    if (!m_showText.isActive())
        m_showText.start();
}

void CVantrelView::ShowPendingStatus()
{
    for (int pane = 1; pane <= 2; ++pane) {
        if (std::optional<QString> text = std::exchange(m_pendingPanes[pane], std::nullopt))
            m_statusBar.SetPaneText(pane, *text);
    }
    if (m_pendingProgress && m_pProgressDlg != nullptr)
        m_pProgressDlg->UpdateData(*m_pendingProgress);
    m_pendingProgress.reset();
}

void CVantrelView::MessageBeep(Beep kind)
{
    QApplication::beep();
    Q_EMIT beeped(kind);
}

void CVantrelView::MessageBox(const QString &text, Icon icon)
{
    QMessageBox box(icon == Icon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                    QStringLiteral("Vantrel"), text, QMessageBox::Ok, window());
    // A long message (a repair that names many links) keeps its first
    // paragraph in view and the whole text in the details, so that the box
    // fits the screen.
    constexpr qsizetype kMaxShownLines = 20;
    if (text.count(QLatin1Char('\n')) > kMaxShownLines) {
        const qsizetype paragraph = text.indexOf(QStringLiteral("\n\n"));
        box.setText(paragraph > 0 ? text.left(paragraph) : text.section(QLatin1Char('\n'), 0, 0));
        box.setInformativeText(QStringLiteral("Show Details... lists everything."));
        box.setDetailedText(text);
    }
    box.exec();
}

bool CVantrelView::AskYesNo(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vantrel"), text,
                    QMessageBox::Yes | QMessageBox::No, window());
    return box.exec() == QMessageBox::Yes;
}

void CVantrelView::ShowProgress(const ProgressModel *progress)
{
    if (progress == nullptr) {
        m_pendingProgress.reset();
        delete m_pProgressDlg;
        return;
    }
    if (m_pProgressDlg != nullptr) {
        m_pendingProgress = *progress;
        if (!m_showText.isActive())
            m_showText.start();
        return;
    }
    m_pProgressDlg = new CProgressDlg(window());
    m_pProgressDlg->m_onStop = [this] {
        QTimer::singleShot(0, this, [this] { OnStopTest(); });
    };
    m_pProgressDlg->Create();
    m_pProgressDlg->UpdateData(*progress);
}

void CVantrelView::ShowActivity(int position)
{
    m_statusBar.ShowActivity(position);
}

void CVantrelView::SetWaitCursor(bool waiting)
{
    if (waiting == m_bWaitCursor)
        return;
    m_bWaitCursor = waiting;
    // The window stays usable while a connection is made: the busy pointer
    // says so, where the hourglass would say the opposite.
    if (waiting)
        viewport()->setCursor(Qt::BusyCursor);
    else
        viewport()->setCursor(Qt::IBeamCursor);
}

void CVantrelView::StateChanged()
{
    // A run that ends, or a report put in the window, is shown whole at once.
    ShowPendingText();
    ShowPendingStatus();
    Q_EMIT commandStateChanged();
}

void CVantrelView::HttpsNotTested(int)
{
    ShowUntestedLinks();
}

void CVantrelView::LinksExcluded(int)
{
    ShowUntestedLinks();
}

// Says at a run's end which links it did not test, and why: https links the
// classic mode passes over, and links that match an exclusion pattern.
void CVantrelView::ShowUntestedLinks()
{
    const int https = m_engine->HttpsLeftOut();
    const int excluded = m_engine->ExcludedInRun();
    QStringList longForms;
    QString shortForm;
    if (https > 0) {
        const QString links = https == 1 ? QStringLiteral("1 https link")
                                         : QStringLiteral("%1 https links").arg(https);
        longForms.append(links + (https == 1 ? QStringLiteral(" was") : QStringLiteral(" were")) +
                         QStringLiteral(" not tested; turn on Test Today's Web in Settings to "
                                        "test them"));
        shortForm = links + QStringLiteral(" not tested (see Settings)");
    }
    if (excluded > 0) {
        longForms.append(
            excluded == 1
                ? QStringLiteral("1 link was not tested: it matches an exclusion pattern")
                : QStringLiteral("%1 links were not tested: they match an exclusion pattern")
                      .arg(excluded));
        shortForm = https > 0       ? QStringLiteral("%1 links not tested").arg(https + excluded)
                    : excluded == 1 ? QStringLiteral("1 link excluded")
                                    : QStringLiteral("%1 links excluded").arg(excluded);
    }
    if (!longForms.isEmpty())
        m_statusBar.ShowFittingMessage(longForms.join(QStringLiteral("; ")), shortForm);
}

void CVantrelView::ScanFailed(const QByteArray &path, const QString &why)
{
    m_scanFailures.append(QString::fromLocal8Bit(path) + QStringLiteral(": ") + why);
    const auto text = [this] {
        constexpr qsizetype kListed = 20;
        QString listed = QStringLiteral("These files could not be scanned for links:");
        for (const QString &failure : m_scanFailures.mid(0, kListed))
            listed += u'\n' + failure;
        if (m_scanFailures.size() > kListed)
            listed += QStringLiteral("\n(and %1 more, named in the report)")
                          .arg(m_scanFailures.size() - kListed);
        return listed;
    };
    // Files that fail while the box is open join it.
    if (m_pScanFailuresBox) {
        m_pScanFailuresBox->setText(text());
        return;
    }
    if (std::exchange(m_bScanFailuresPosted, true))
        return;
    // Not from inside the engine's step: a modal box there would run the next
    // steps of the run from its own event loop, inside this one.
    QTimer::singleShot(0, this, [this, text] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vantrel"), text(), QMessageBox::Ok,
                        window());
        m_pScanFailuresBox = &box;
        box.exec();
        m_scanFailures.clear();
        m_bScanFailuresPosted = false;
    });
}
