#include "openreport.h"

#include "engine/engineui.h"
#include "engine/resultcategories.h"
#include "engine/testengine.h"

bool OpenReport(CTestEngine &engine, const QByteArray &report)
{
    return engine.LoadReport(report);
}
