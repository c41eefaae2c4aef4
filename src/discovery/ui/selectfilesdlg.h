#pragma once

#include <functional>

#include <QByteArray>
#include <QDialog>

class CRegSettings;
class QCheckBox;
class QLineEdit;

// "Select File(s) to Test": the user names one HTML file and may widen the
// run to every HTML file of its directory, or of the whole tree below it; or
// names a folder, whose HTML files are then tested.
class CSelectFilesDlg final : public QDialog
{
public:
    CSelectFilesDlg(const CRegSettings &settings, QWidget *parent);

    // The choice: read from the controls when the dialog is accepted, shown
    // in them when it opens.
    QByteArray m_strFile;
    bool m_bRecurse = false;
    bool m_bAllFiles = false;

    // Asks for a file to open, starting at the given path; empty when the
    // user cancels. Tests replace it.
    std::function<QString(QWidget *parent, const QString &start)> m_chooseFile;
    // Why a run cannot be made of the path (and choice of all files), told
    // while the dialog stays open; empty when it can. None: every path does.
    std::function<QString(const QByteArray &path, bool allFiles)> m_check;

    int exec() override;
    void accept() override;

private:
    void OnBrowse();

    const CRegSettings &m_settings;
    QLineEdit *m_editFile = nullptr;
    QCheckBox *m_checkAllFiles = nullptr;
    QCheckBox *m_checkRecurse = nullptr;
};
