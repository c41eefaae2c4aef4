#pragma once

#include <QByteArray>

// The current local date and time in the locale's long form, as the report's
// start and end lines and the exported page show it.
QByteArray LongDateTimeText();
