#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>

// Converts the measures of a dialog's layout, given in dialog units, into
// pixels of the dialog's font: a horizontal unit is a quarter of the average
// character width, a vertical unit an eighth of the font height. Controls laid
// out this way keep their proportions with any font and size.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont &font)
    {
        const QFontMetrics metrics(font);
        // The average width of the letters, rounded, as dialog base units are
        // taken elsewhere too.
        const int letters = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        m_baseX = qMax(1, (letters / 26 + 1) / 2);
        m_baseY = qMax(1, metrics.height());
    }

    int X(int units) const { return (units * m_baseX + 2) / 4; }
    int Y(int units) const { return (units * m_baseY + 4) / 8; }
    QRect Rect(int left, int top, int width, int height) const
    {
        return QRect(X(left), Y(top), X(left + width) - X(left), Y(top + height) - Y(top));
    }

private:
    int m_baseX = 1;
    int m_baseY = 1;
};
