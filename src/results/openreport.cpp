#include "openreport.h"

#include "engine/engineui.h"
#include "engine/resultcategories.h"
#include "engine/testengine.h"

bool OpenReport(CTestEngine &engine, const QByteArray &report)
{
    if (engine.m_bRunning)
        return false;
    engine.OnClearWindow();
    if (!report.isEmpty())
        engine.AppendText(report);
    engine.m_bRunEnded = !report.isEmpty();
    engine.Categories().m_bUnknownCode = report.contains(kUnknownReasonText);
    engine.Ui().StateChanged();
    return true;
}
