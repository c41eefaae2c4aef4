#include "linkexclusions.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "platform/uniquefd.h"
#include "platform/wholefile.h"

namespace {

// Far beyond any list of patterns a person writes.
constexpr qint64 kMaxIgnoreFile = 4 * 1024 * 1024;

} // namespace

QString CLinkExclusions::PatternProblem(const QString &pattern)
{
    const QRegularExpression expression(pattern);
    if (expression.isValid())
        return {};
    return QStringLiteral("bad pattern \"%1\": %2 (at offset %3)")
        .arg(pattern, expression.errorString())
        .arg(expression.patternErrorOffset());
}

bool CLinkExclusions::Add(const QString &pattern, QString *why)
{
    const QString problem = PatternProblem(pattern);
    if (!problem.isEmpty()) {
        if (why != nullptr)
            *why = problem;
        return false;
    }
    QRegularExpression &added = m_patterns.emplace_back(pattern);
    added.optimize();
    return true;
}

template <typename Visit>
void CLinkExclusions::ForEachPatternLine(const QByteArray &text, Visit visit)
{
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        if (!visit(QString::fromUtf8(line), i + 1))
            return;
    }
}

bool CLinkExclusions::AddLines(const QByteArray &text, const QString &where, QString *why)
{
    bool added = true;
    ForEachPatternLine(text, [&](const QString &pattern, qsizetype lineNumber) {
        QString problem;
        added = Add(pattern, &problem);
        if (!added && why != nullptr)
            *why = QStringLiteral("%1 line %2: %3").arg(where).arg(lineNumber).arg(problem);
        return added;
    });
    return added;
}

CLinkExclusions CLinkExclusions::FromSetting(const QByteArray &text)
{
    CLinkExclusions exclusions;
    ForEachPatternLine(text, [&exclusions](const QString &pattern, qsizetype) {
        exclusions.Add(pattern);
        return true;
    });
    return exclusions;
}

bool CLinkExclusions::AddFile(const QByteArray &path, bool missingOk, QString *why)
{
    const UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    QByteArray text;
    const bool read = fd.IsValid() && ReadWholeFile(fd.Get(), text, kMaxIgnoreFile);
    const int error = errno;
    const QString name = QString::fromLocal8Bit(path);
    if (!read) {
        if (!fd.IsValid() && error == ENOENT && missingOk)
            return true;
        if (why != nullptr)
            *why = QStringLiteral("cannot read %1: %2")
                       .arg(name, QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    return AddLines(text, name, why);
}

void CLinkExclusions::Append(const CLinkExclusions &other)
{
    m_patterns.insert(m_patterns.end(), other.m_patterns.begin(), other.m_patterns.end());
}

bool CLinkExclusions::Matches(const QByteArray &address) const
{
    if (m_patterns.empty())
        return false;
    const QString text = QString::fromUtf8(address);
    for (const QRegularExpression &pattern : m_patterns) {
        if (pattern.match(text).hasMatch())
            return true;
    }
    return false;
}
