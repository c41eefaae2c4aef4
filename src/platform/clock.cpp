#include "clock.h"

#include <QDateTime>
#include <QLocale>

QByteArray LongDateTimeText()
{
    return QLocale().toString(QDateTime::currentDateTime(), QLocale::LongFormat).toUtf8();
}
