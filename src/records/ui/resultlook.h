#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "records/resultcategory.h"

// How the table shows a result, beside its text: a colour and an icon, each
// telling the same of the result, so that neither is needed alone.
enum class ResultKind
{
    Works,
    Moved,
    Unknown,
    Broken
};

ResultKind KindOf(ResultCategory category);
QColor ColorOf(ResultKind kind);
QIcon IconOf(ResultKind kind);
