#include "formatreaders.h"

#include <QXmlStreamReader>

QList<QStringList> ReadCsv(const QByteArray &text, QString *error)
{
    const QString input = QString::fromUtf8(text);
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool afterQuote = false;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input[i];
        if (quoted) {
            if (c != QLatin1Char('"')) {
                field += c;
            } else if (i + 1 < input.size() && input[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else {
                quoted = false;
                afterQuote = true;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty() && !afterQuote) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record.append(std::exchange(field, QString()));
            afterQuote = false;
        } else if (c == QLatin1Char('\r') && i + 1 < input.size() &&
                   input[i + 1] == QLatin1Char('\n')) {
            record.append(std::exchange(field, QString()));
            records.append(std::exchange(record, QStringList()));
            afterQuote = false;
            ++i;
        } else if (afterQuote || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
                   c == QLatin1Char('\n')) {
            *error = QStringLiteral("a stray quote or line break at %1").arg(i);
            return {};
        } else {
            field += c;
        }
    }
    if (quoted || !field.isEmpty() || !record.isEmpty()) {
        *error = QStringLiteral("the last record does not end in CR LF");
        return {};
    }
    return records;
}

QList<JUnitSuite> ReadJUnit(const QByteArray &xml, QString *error)
{
    QXmlStreamReader reader(xml);
    QList<JUnitSuite> suites;
    bool inRoot = false;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = reader.name();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (name == QLatin1String("testsuites") && !inRoot) {
            inRoot = true;
        } else if (name == QLatin1String("testsuite") && inRoot) {
            suites.append({attributes.value(QLatin1String("name")).toString(),
                           attributes.value(QLatin1String("tests")).toInt(),
                           attributes.value(QLatin1String("failures")).toInt(),
                           {}});
        } else if (name == QLatin1String("testcase") && !suites.isEmpty()) {
            suites.last().cases.append({attributes.value(QLatin1String("name")).toString(),
                                        attributes.value(QLatin1String("classname")).toString(),
                                        std::nullopt});
        } else if (name == QLatin1String("failure") && !suites.isEmpty() &&
                   !suites.last().cases.isEmpty()) {
            suites.last().cases.last().failure =
                attributes.value(QLatin1String("message")).toString();
        } else if (name != QLatin1String("system-err")) {
            *error = QStringLiteral("unexpected element ") + name.toString();
            return {};
        }
    }
    if (reader.hasError()) {
        *error = reader.errorString();
        return {};
    }
    return suites;
}

namespace {

// The cells of a table row: split at pipes that no backslash escapes, then
// each backslash escape of a punctuation character undone.
QStringList Cells(const QString &row)
{
    QStringList cells;
    QString cell;
    for (qsizetype i = 1; i < row.size(); ++i) {
        const QChar c = row[i];
        if (c == QLatin1Char('\\') && i + 1 < row.size()) {
            const QChar next = row[++i];
            // Markdown's escapable characters: ASCII punctuation.
            if (!QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~").contains(next))
                cell += c;
            cell += next;
        } else if (c == QLatin1Char('|')) {
            cells.append(std::exchange(cell, QString()).trimmed());
        } else {
            cell += c;
        }
    }
    return cells;
}

} // namespace

QList<QStringList> MarkdownTableRows(const QByteArray &text, const QByteArray &heading)
{
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    const qsizetype at = lines.indexOf(QString::fromUtf8(heading));
    QList<QStringList> rows;
    if (at < 0)
        return rows;
    for (qsizetype i = at + 2; i < lines.size() && lines[i].startsWith(QLatin1Char('|')); ++i)
        rows.append(Cells(lines[i]));
    return rows;
}
