#include "openhelp.h"

#include "app/help/helpwindow.h"

void OpenHelp(QWidget *from, const char *topic)
{
    CHelpWindow::ShowTopic(from, QString::fromLatin1(topic));
}
