#include "mainframe.h"

#include <QPlainTextEdit>

CMainFrame::CMainFrame(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Vantrel"));
    auto *results = new QPlainTextEdit(this);
    results->setReadOnly(true);
    setCentralWidget(results);
    resize(800, 600);
}
