#pragma once

#include <array>

#include <QByteArray>
#include <QListWidget>

#include "engine/resultcategories.h"

// The Settings dialog's list of the 21 result categories, each row a check box
// with the category's text: a checked row is reported. A click on a row's box
// or Space toggles it; a click on its text does not. No row is ever selected
// or highlighted.
class CFilterListBox final : public QListWidget
{
    Q_OBJECT

public:
    static constexpr int kRowHeight = 20;

    CFilterListBox(const std::array<QByteArray, kCategoryCount> &categoryTexts, QWidget *parent);

    // Checks the rows from a report filter: "0" clears a row, any other
    // character checks it, as the filter reports every category that is not
    // "0" (a missing character too).
    void LoadChecks(const QByteArray &filter);
    // The report filter of the rows: "1" for a checked row, "0" otherwise.
    QByteArray Filter() const;

    QSize sizeHint() const override;

private:
    int m_textWidth = 0;
};
