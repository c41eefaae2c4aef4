#pragma once

#include <memory>

class QPlainTextEdit;
class QPrinter;
class QWidget;

// Print, Print Preview and Print Setup of the results window. One printer
// setting serves all three for the life of the program, so a choice made in
// Print Setup holds for the next print.
class CReportPrinter
{
public:
    CReportPrinter();
    ~CReportPrinter();

    CReportPrinter(const CReportPrinter &) = delete;
    CReportPrinter &operator=(const CReportPrinter &) = delete;

    void Print(QPlainTextEdit &view, QWidget *parent);
    void PrintPreview(QPlainTextEdit &view, QWidget *parent);
    void PrintSetup(QWidget *parent);

    // Made at first use: looking for printers can take a moment.
    QPrinter &Printer();

private:
    std::unique_ptr<QPrinter> m_printer;
};
