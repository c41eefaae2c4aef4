#pragma once

#include <QByteArray>

class CTestEngine;

// Puts a saved report in the results window in place of what it held, as if
// its run had just ended: it can be exported, re-tested and repaired. The
// repair asks first when the report shows an unknown reply code. False (and
// nothing changes) while a run lasts.
bool OpenReport(CTestEngine &engine, const QByteArray &report);
