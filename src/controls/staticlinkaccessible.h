#pragma once

#include <QAccessibleWidget>

class CStaticLink;

// What assistive tools see of a CStaticLink: a link named by its visible
// text, marked traversed once opened, with a press action that opens it, so
// the link can be found and followed from outside by its text.
class CStaticLinkAccessible final : public QAccessibleWidget
{
public:
    explicit CStaticLinkAccessible(CStaticLink *link);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

    // Installed with QAccessible::installFactory: makes the interface for
    // every CStaticLink.
    static QAccessibleInterface *Factory(const QString &className, QObject *object);

private:
    CStaticLink *Link() const;
};
