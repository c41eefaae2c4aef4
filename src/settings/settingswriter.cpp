#include "settingswriter.h"

#include <algorithm>
#include <utility>

#include <QTimer>

#include "platform/registrystore.h"
#include "platform/registrytext.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Another program's write takes a few milliseconds: tried again this soon,
// a waiting value lands all but at once.
constexpr milliseconds kRetryInterval{50};

bool SameSetting(const RegValueWrite &value, const QByteArray &keyPath, const QByteArray &valueName)
{
    return EqualsIgnoringAsciiCase(value.keyPath, keyPath) &&
           EqualsIgnoringAsciiCase(value.name, valueName);
}

} // namespace

QString SettingsWriteFailureText(const SettingsWriteFailure &failure)
{
    return QStringLiteral("The setting \"%1\" in section \"%2\" could not be stored: %3")
        .arg(QString::fromUtf8(failure.valueName), QString::fromUtf8(failure.section), failure.why);
}

SettingsWriter::SettingsWriter() = default;

SettingsWriter::~SettingsWriter()
{
    if (m_pending.isEmpty())
        return;
    // No event loop will retry now: wait out what patience is left.
    auto giveUpAt = steady_clock::time_point::min();
    for (const Waiting &waiting : m_pending)
        giveUpAt = std::max(giveUpAt, waiting.giveUpAt);
    m_lockWait = SettingsLockWait::Block;
    Flush(std::max(milliseconds(0),
                   std::chrono::duration_cast<milliseconds>(giveUpAt - steady_clock::now())));
}

void SettingsWriter::SetLockWait(SettingsLockWait wait, milliseconds patience)
{
    m_lockWait = wait;
    m_patience = patience;
}

qsizetype SettingsWriter::IndexOf(const QByteArray &keyPath, const QByteArray &valueName) const
{
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (SameSetting(m_pending[i].value, keyPath, valueName))
            return i;
    }
    return -1;
}

std::optional<QByteArray> SettingsWriter::Pending(const QByteArray &programKey,
                                                  const QByteArray &section,
                                                  const QByteArray &valueName) const
{
    const qsizetype index = IndexOf(programKey + '\\' + section, valueName);
    if (index < 0)
        return std::nullopt;
    return m_pending[index].value.text;
}

bool SettingsWriter::Write(RegRoot root, const QByteArray &programKey, const QByteArray &section,
                           const QByteArray &valueName, const QByteArray &text)
{
    const QByteArray keyPath = programKey + '\\' + section;
    const qsizetype index = IndexOf(keyPath, valueName);
    if (index >= 0) {
        // The patience counts from the first value that waited, so that a
        // setting written again and again is still told of in time.
        m_pending[index].value.text = text;
    } else {
        m_pending.append(
            {{root, keyPath, valueName, text}, section, steady_clock::now() + m_patience});
    }
    return Flush(m_lockWait == SettingsLockWait::Block ? m_patience : milliseconds(0));
}

bool SettingsWriter::Flush(milliseconds lockWait)
{
    QList<RegValueWrite> values;
    for (const Waiting &waiting : m_pending)
        values.append(waiting.value);
    const RegistryWrite result = RegSetValues(values, lockWait);
    if (result.Done()) {
        for (const Waiting &stored : std::exchange(m_pending, {})) {
            m_told.removeIf([&stored](const RegValueWrite &told) {
                return SameSetting(told, stored.value.keyPath, stored.value.name);
            });
        }
        if (m_retry)
            m_retry->stop();
        return true;
    }

    const bool mayWait = result.status == RegistryWrite::Status::Locked &&
                         m_lockWait == SettingsLockWait::RetryFromEventLoop;
    const auto now = steady_clock::now();
    QList<Waiting> failed;
    for (qsizetype i = m_pending.size() - 1; i >= 0; --i) {
        if (!mayWait || m_pending[i].giveUpAt <= now)
            failed.prepend(m_pending.takeAt(i));
    }
    if (!m_pending.isEmpty())
        RetryLater();
    // Told last: a listener may write again.
    for (const Waiting &waiting : failed)
        Tell(waiting, result.why);
    return false;
}

void SettingsWriter::RetryLater()
{
    if (!m_retry) {
        m_retry = std::make_unique<QTimer>();
        m_retry->setSingleShot(true);
        m_retry->setInterval(kRetryInterval);
        QObject::connect(m_retry.get(), &QTimer::timeout, m_retry.get(),
                         [this] { Flush(milliseconds(0)); });
    }
    m_retry->start();
}

void SettingsWriter::Tell(const Waiting &failed, const QString &why)
{
    if (m_listener == nullptr)
        return;
    for (const RegValueWrite &told : m_told) {
        if (SameSetting(told, failed.value.keyPath, failed.value.name))
            return;
    }
    m_told.append(failed.value);
    m_listener->SettingNotStored({failed.section, failed.value.name, why});
}
