#include "resultlook.h"

#include <QApplication>
#include <QStyle>

ResultKind KindOf(ResultCategory category)
{
    if (IsOk(category))
        return ResultKind::Works;
    if (category == ResultCategory::Http301 || category == ResultCategory::Http302)
        return ResultKind::Moved;
    if (category == ResultCategory::UnknownReply)
        return ResultKind::Unknown;
    return ResultKind::Broken;
}

QColor ColorOf(ResultKind kind)
{
    // Dark enough to read as text on a light background.
    switch (kind) {
    case ResultKind::Works:
        return {0x1a, 0x7f, 0x37};
    case ResultKind::Moved:
        return {0x0a, 0x5c, 0xb8};
    case ResultKind::Unknown:
        return {0x9a, 0x52, 0x00};
    case ResultKind::Broken:
        break;
    }
    return {0xc0, 0x1c, 0x28};
}

QIcon IconOf(ResultKind kind)
{
    QStyle *style = QApplication::style();
    switch (kind) {
    case ResultKind::Works:
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    case ResultKind::Moved:
        return style->standardIcon(QStyle::SP_ArrowForward);
    case ResultKind::Unknown:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case ResultKind::Broken:
        break;
    }
    return style->standardIcon(QStyle::SP_MessageBoxCritical);
}
