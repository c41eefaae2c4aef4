#pragma once

#include <functional>

#include <QByteArray>
#include <QDialog>
#include <QList>

class QLineEdit;
class QRadioButton;

// "Export": where to write the report and in which form: a text file, an
// HTML page, a JSON file or a CSV file.
class CExportDlg final : public QDialog
{
public:
    explicit CExportDlg(QWidget *parent);

    // The choice: shown when the dialog opens, read back when it is accepted.
    QByteArray m_strPath;
    // 0 "Export as Text file", 1 "Export as HTML file", 2 "Export as JSON
    // file", 3 "Export as CSV file".
    int m_nFormat = 0;

    // Asks for a file to save to, starting at the given path, with the
    // filter and default suffix of the format; empty when the user cancels.
    // Tests replace it.
    std::function<QString(QWidget *parent, const QString &start, int format)> m_chooseFile;

    int exec() override;
    void accept() override;

private:
    void OnBrowse();
    void OnExportFormat();
    int ShownFormat() const;

    QLineEdit *m_editPath = nullptr;
    // In the order of the formats' numbers.
    QList<QRadioButton *> m_radios;
};

// The path with its extension switched to the format's (".txt", ".html",
// ".json", ".csv") when it ends in one of them and at least one character
// precedes it. Other extensions, and the same ones in capitals, are left alone.
QString SwitchExportExtension(const QString &path, int format);
