#include "textlimit.h"

#include <QLineEdit>
#include <QMessageBox>

bool AcceptsLength(QWidget *dialog, QLineEdit *field, int maxChars)
{
    if (field->text().size() <= maxChars)
        return true;
    QMessageBox::warning(dialog, QStringLiteral("Vantrel"),
                         QStringLiteral("Enter no more than %1 characters.").arg(maxChars));
    field->setFocus();
    field->selectAll();
    return false;
}
