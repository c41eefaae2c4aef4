#include "textlimit.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

bool AcceptsLength(QWidget *dialog, QLineEdit *field, int maxChars)
{
    if (field->text().size() <= maxChars)
        return true;
    // Told from the event loop, so that the OK press that asked returns at once.
    QTimer::singleShot(0, field, [dialog, field, maxChars] {
        QMessageBox::warning(dialog, QStringLiteral("Vantrel"),
                             QStringLiteral("Enter no more than %1 characters.").arg(maxChars));
        field->setFocus();
        field->selectAll();
    });
    return false;
}
