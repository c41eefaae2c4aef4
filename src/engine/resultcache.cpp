#include "resultcache.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include <QDateTime>

#include "platform/atomicfile.h"
#include "platform/uniquefd.h"
#include "platform/wholefile.h"

namespace {

constexpr qint64 kDaySeconds = 24 * 60 * 60;
constexpr char kHeader[] = "vantrel link cache 1";
// A cache larger than this is not one of ours.
constexpr qint64 kMaxCacheFile = 512LL * 1024 * 1024;

QString Name(const QByteArray &path)
{
    return QString::fromLocal8Bit(path);
}

} // namespace

QByteArray CResultCache::Key(const QByteArray &address, bool todaysWeb)
{
    return (todaysWeb ? "w\t" : "c\t") + address;
}

bool CResultCache::Cacheable(const QByteArray &address)
{
    const QByteArray scheme = address.left(8).toLower();
    return (scheme.startsWith("http://") || scheme.startsWith("https://")) &&
           !address.contains('\n') && !address.contains('\r');
}

void CResultCache::Load(const QByteArray &path, QString *warning)
{
    m_path = path;
    m_entries.clear();
    m_changed = false;
    m_writable = false;
    const UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    QByteArray text;
    const bool read = fd.IsValid() && ReadWholeFile(fd.Get(), text, kMaxCacheFile);
    const int error = errno;
    if (!read) {
        if (!fd.IsValid() && error == ENOENT) {
            m_writable = true;
        } else if (warning != nullptr) {
            *warning = QStringLiteral("the link cache %1 cannot be read (%2); it is not used")
                           .arg(Name(path), QString::fromLocal8Bit(std::strerror(error)));
        }
        return;
    }
    if (text.isEmpty()) {
        m_writable = true;
        return;
    }
    if (!text.startsWith(QByteArray(kHeader) + '\n')) {
        if (warning != nullptr)
            *warning = QStringLiteral("%1 is not a link cache of vantrel-check; it is neither "
                                      "used nor written over")
                           .arg(Name(path));
        return;
    }
    m_writable = true;
    const QList<QByteArray> lines = text.split('\n');
    int damaged = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split('\t');
        bool timeOk = false;
        bool codeOk = false;
        const qint64 tested = fields.value(0).toLongLong(&timeOk);
        const int code = fields.value(2).toInt(&codeOk);
        const QByteArray mode = fields.value(1);
        if (fields.size() < 4 || !timeOk || !codeOk || (mode != "c" && mode != "w")) {
            ++damaged;
            continue;
        }
        const QByteArray address =
            line.mid(fields[0].size() + fields[1].size() + fields[2].size() + 3);
        m_entries[Key(address, mode == "w")] = {tested, code};
    }
    if (damaged > 0) {
        // Rewritten whole at the end of the run, without the damaged lines.
        m_changed = true;
        if (warning != nullptr)
            *warning = QStringLiteral("the link cache %1 is damaged (%2 lines cannot be read); "
                                      "those links are tested again")
                           .arg(Name(path))
                           .arg(damaged);
    }
}

std::optional<int> CResultCache::Lookup(const QByteArray &address, bool todaysWeb, qint64 now) const
{
    const auto found = m_entries.find(Key(address, todaysWeb));
    if (found == m_entries.end())
        return std::nullopt;
    const qint64 age = now - found->tested;
    // An entry from the future (a clock set back) is not trusted either.
    if (age < 0 || age > m_maxAge)
        return std::nullopt;
    return found->code;
}

void CResultCache::Store(const QByteArray &address, bool todaysWeb, std::optional<int> passedCode,
                         qint64 now)
{
    if (!Cacheable(address))
        return;
    if (passedCode) {
        m_entries[Key(address, todaysWeb)] = {now, *passedCode};
        m_changed = true;
    } else if (m_entries.remove(Key(address, todaysWeb))) {
        m_changed = true;
    }
}

bool CResultCache::Save(QString *why)
{
    if (!m_changed || !m_writable || m_path.isEmpty())
        return true;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QByteArray text = QByteArray(kHeader) + '\n';
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        const QByteArray &key = it.key();
        const Entry &entry = it.value();
        // Kept for a day at least, whatever age this run reuses.
        if (now - entry.tested > std::max<qint64>(m_maxAge, kDaySeconds))
            continue;
        text += QByteArray::number(entry.tested) + '\t' + key.left(1) + '\t' +
                QByteArray::number(entry.code) + '\t' + key.mid(2) + '\n';
    }
    AtomicFileWriter writer(m_path);
    if (writer.Open() && writer.Write(text) && writer.Commit()) {
        m_changed = false;
        return true;
    }
    if (why != nullptr)
        *why = QStringLiteral("the link cache %1 cannot be written: %2")
                   .arg(Name(m_path), writer.ErrorString());
    return false;
}
