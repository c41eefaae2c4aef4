#include "staticlinkaccessible.h"

#include "controls/staticlink.h"

CStaticLinkAccessible::CStaticLinkAccessible(CStaticLink *link)
    : QAccessibleWidget(link, QAccessible::Link)
{}

QString CStaticLinkAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        if (!Link()->accessibleName().isEmpty())
            return Link()->accessibleName();
        return Link()->text();
    case QAccessible::Value:
        return Link()->Target().toString();
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State CStaticLinkAccessible::state() const
{
    QAccessible::State linkState = QAccessibleWidget::state();
    linkState.traversed = Link()->IsVisited();
    return linkState;
}

QStringList CStaticLinkAccessible::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void CStaticLinkAccessible::doAction(const QString &actionName)
{
    if (actionName == pressAction())
        Link()->OnClicked();
    else
        QAccessibleWidget::doAction(actionName);
}

QStringList CStaticLinkAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction())
        return {QStringLiteral("Return"), QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

QAccessibleInterface *CStaticLinkAccessible::Factory(const QString &className, QObject *object)
{
    if (className != QLatin1String("CStaticLink") || object == nullptr)
        return nullptr;
    auto *link = qobject_cast<CStaticLink *>(object);
    // Qt's accessibility cache owns the interface and deletes it with the link.
    return link != nullptr ? new CStaticLinkAccessible(link) : nullptr;
}

CStaticLink *CStaticLinkAccessible::Link() const
{
    return static_cast<CStaticLink *>(widget());
}
