#pragma once

#include <array>

#include <QByteArray>
#include <QDialog>

#include "controls/colorref.h"
#include "engine/resultcategories.h"
#include "engine/retrypolicy.h"

class CColorPickerButton;
class CFilterListBox;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

// The "Settings" dialog: which result categories the report shows (or one of
// two presets), how long to wait for a slow host, how many links are tested at
// once, how patient today's web mode is with busy hosts, and the background
// colour of the results window. It edits its own
// copies of the values; its owner takes them after OK, so Cancel leaves
// everything as it was.
class CSettingsDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMinTimeout = 5;
    static constexpr int kMaxTimeout = 50;
    static constexpr int kMaxJobs = 100;

    CSettingsDlg(const std::array<QByteArray, kCategoryCount> &categoryTexts, QWidget *parent);

    // The values the dialog opens with.
    void SetValues(ColorRef backColor, int timeoutSec, const QByteArray &filter);
    // Links tested at once, 1 to kMaxJobs.
    void SetJobs(int jobs);

    // The values confirmed by OK.
    ColorRef BackColor() const;
    int Timeout() const { return m_nTimeout; }
    QByteArray Filter() const { return m_strFilter; }
    int Jobs() const;
    void SetTodaysWeb(bool on);
    bool TodaysWeb() const;
    void SetSiteRoot(const QByteArray &directory);
    QByteArray SiteRoot() const;
    // Today's web mode's tries again, the longest wait before one and the
    // pause between requests to one host.
    void SetPolite(const PoliteSettings &polite);
    PoliteSettings Polite() const;
    void SetProxy(const QByteArray &url);
    QByteArray Proxy() const;
    // The patterns of links not to test, one a line.
    void SetExclusions(const QByteArray &patterns);
    QByteArray Exclusions() const;

    // Ends the dialog only with a valid time-out and valid patterns.
    void accept() override;

private:
    void OnWatchLikeAHawk();
    void OnWatchWithOneEyeShut();
    void OnHelpButton();
    // Takes the time-out field into m_nTimeout when it holds a whole number
    // from 5 to 50; otherwise tells the user and leaves the field focused.
    bool ValidateTimeout();
    // True when every pattern line is a valid regular expression; otherwise
    // tells the user which is not and leaves the field focused.
    bool ValidateExclusions();
    // Tells of a value that cannot be taken, then focuses its field.
    void ShowProblemLater(const QString &problem, QWidget *field);

    CColorPickerButton *m_btnColor = nullptr;
    CFilterListBox *m_lstFilter = nullptr;
    QLineEdit *m_editTimeout = nullptr;
    QSpinBox *m_spinJobs = nullptr;
    QCheckBox *m_chkTodaysWeb = nullptr;
    QLineEdit *m_editSiteRoot = nullptr;
    QSpinBox *m_spinRetries = nullptr;
    QSpinBox *m_spinRetryWait = nullptr;
    QSpinBox *m_spinHostInterval = nullptr;
    QLineEdit *m_editProxy = nullptr;
    QPlainTextEdit *m_editExclusions = nullptr;
    int m_nTimeout = 10;
    QByteArray m_strFilter;
};
