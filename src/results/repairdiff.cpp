#include "repairdiff.h"

#include <algorithm>

#include <QList>

namespace {

constexpr qsizetype kContext = 3;

// The lines of a text, each with its line feed when it has one.
QList<QByteArray> LinesOf(const QByteArray &text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        lines.append(text.mid(start, next - start));
        start = next;
    }
    return lines;
}

void AppendLine(QByteArray &diff, char mark, const QByteArray &line)
{
    diff += mark + line;
    if (!line.endsWith('\n'))
        diff += "\n\\ No newline at end of file\n";
}

QByteArray Range(qsizetype first, qsizetype count)
{
    return QByteArray::number(first + 1) + ',' + QByteArray::number(count);
}

} // namespace

QByteArray RepairDiff(const QByteArray &path, const QByteArray &before, const QByteArray &after)
{
    const QList<QByteArray> old = LinesOf(before);
    const QList<QByteArray> now = LinesOf(after);
    if (old.size() != now.size() || before == after)
        return {};
    QByteArray diff = "--- " + path + "\n+++ " + path + "\n";
    qsizetype line = 0;
    while (line < old.size()) {
        if (old[line] == now[line]) {
            ++line;
            continue;
        }
        // A hunk runs from the context before the first changed line to the
        // context after the last one that lies within reach of the next.
        const qsizetype first = std::max<qsizetype>(0, line - kContext);
        qsizetype last = line;
        for (qsizetype next = line + 1; next < old.size() && next <= last + 2 * kContext; ++next) {
            if (old[next] != now[next])
                last = next;
        }
        const qsizetype end = std::min(old.size(), last + kContext + 1);
        diff += "@@ -" + Range(first, end - first) + " +" + Range(first, end - first) + " @@\n";
        for (qsizetype l = first; l < end;) {
            if (old[l] == now[l]) {
                AppendLine(diff, ' ', old[l++]);
                continue;
            }
            qsizetype run = l;
            while (run < end && old[run] != now[run])
                ++run;
            for (qsizetype r = l; r < run; ++r)
                AppendLine(diff, '-', old[r]);
            for (qsizetype r = l; r < run; ++r)
                AppendLine(diff, '+', now[r]);
            l = run;
        }
        line = end;
    }
    return diff;
}
