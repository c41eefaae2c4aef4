#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Readers of the machine-readable formats, written from the formats' own
// rules and not from the writers, so that a test reads the output as another
// program would.

// The records of an RFC 4180 text: fields split at commas outside quotes,
// quoted fields with doubled quotes, records ending in CR LF. Empty with the
// reason in error when the text breaks the rules.
QList<QStringList> ReadCsv(const QByteArray &text, QString *error);

struct JUnitCase
{
    QString name;
    QString classname;
    // The failure's message, when the case failed.
    std::optional<QString> failure;
};

struct JUnitSuite
{
    QString name;
    int tests = 0;
    int failures = 0;
    QList<JUnitCase> cases;
};

// The testsuites of a JUnit XML report. Empty with the reason in error when it
// is not well-formed XML or not of that shape.
QList<JUnitSuite> ReadJUnit(const QByteArray &xml, QString *error);

// The body rows of the Markdown table that follows the line heading in text,
// each cell trimmed and with its backslash escapes undone.
QList<QStringList> MarkdownTableRows(const QByteArray &text, const QByteArray &heading);
