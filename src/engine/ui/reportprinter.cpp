#include "reportprinter.h"

#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

CReportPrinter::CReportPrinter() = default;

CReportPrinter::~CReportPrinter() = default;

QPrinter &CReportPrinter::Printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setDocName(QStringLiteral("Vantrel"));
    }
    return *m_printer;
}

void CReportPrinter::Print(QPlainTextEdit &view, QWidget *parent)
{
    QPrintDialog dialog(&Printer(), parent);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (view.textCursor().hasSelection())
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog.exec() == QDialog::Accepted)
        view.print(&Printer());
}

void CReportPrinter::PrintPreview(QPlainTextEdit &view, QWidget *parent)
{
    QPrintPreviewDialog dialog(&Printer(), parent);
    dialog.setWindowTitle(QStringLiteral("Print Preview"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &view,
                     [&view](QPrinter *printer) { view.print(printer); });
    dialog.exec();
}

void CReportPrinter::PrintSetup(QWidget *parent)
{
    QPageSetupDialog dialog(&Printer(), parent);
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    dialog.exec();
}
