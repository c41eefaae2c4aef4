#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "platform/registry.h"

class QTimer;

// A setting that could not be stored, and why, in words for the user.
struct SettingsWriteFailure
{
    QByteArray section;
    QByteArray valueName;
    QString why;
};

// The sentence that tells the user of a failure, for example
//   The setting "x" in section "Screen" could not be stored: No space left on device
QString SettingsWriteFailureText(const SettingsWriteFailure &failure);

// Whoever tells the user that a setting could not be stored.
class SettingsWriteListener
{
public:
    virtual ~SettingsWriteListener() = default;
    virtual void SettingNotStored(const SettingsWriteFailure &failure) = 0;
};

// What a write does while another program holds the settings file's lock.
enum class SettingsLockWait
{
    // The value waits in memory and is tried again from the event loop, so
    // that a window never stalls; reads see it meanwhile.
    RetryFromEventLoop,
    // The write waits for the lock, for a program without a window.
    Block
};

// Stores the values of CRegSettings in the settings file. A value that meets
// the lock held by another program is not dropped: it waits, the latest value
// of a setting winning, and every value waiting is stored in one change as
// soon as the lock is free. Only when a value cannot be stored at all (a full
// disk, a damaged file) or the lock stays taken for the whole patience is the
// listener told, once for a setting until a write of it succeeds again: a
// window that is dragged across a full disk is not told of every move.
class SettingsWriter
{
public:
    static constexpr std::chrono::milliseconds kDefaultPatience{10000};

    SettingsWriter();
    // Values still waiting get what is left of their patience, then are told.
    ~SettingsWriter();

    SettingsWriter(const SettingsWriter &) = delete;
    SettingsWriter &operator=(const SettingsWriter &) = delete;

    // True when the value is in the settings file now; false when it failed
    // (the listener has been told) or waits for the lock (HasPending).
    bool Write(RegRoot root, const QByteArray &programKey, const QByteArray &section,
               const QByteArray &valueName, const QByteArray &text);
    // The value waiting to be stored for the setting, if any.
    std::optional<QByteArray> Pending(const QByteArray &programKey, const QByteArray &section,
                                      const QByteArray &valueName) const;
    bool HasPending() const { return !m_pending.isEmpty(); }

    void SetLockWait(SettingsLockWait wait, std::chrono::milliseconds patience);
    void SetListener(SettingsWriteListener *listener) { m_listener = listener; }
    SettingsWriteListener *Listener() const { return m_listener; }

private:
    struct Waiting
    {
        RegValueWrite value;
        QByteArray section;
        std::chrono::steady_clock::time_point giveUpAt;
    };

    // Stores every waiting value in one change; true when they are stored.
    bool Flush(std::chrono::milliseconds lockWait);
    void RetryLater();
    qsizetype IndexOf(const QByteArray &keyPath, const QByteArray &valueName) const;
    void Tell(const Waiting &failed, const QString &why);

    QList<Waiting> m_pending;
    // Settings whose failure has been told and not yet mended by a success:
    // their key paths and value names.
    QList<RegValueWrite> m_told;
    SettingsWriteListener *m_listener = nullptr;
    SettingsLockWait m_lockWait = SettingsLockWait::RetryFromEventLoop;
    std::chrono::milliseconds m_patience = kDefaultPatience;
    std::unique_ptr<QTimer> m_retry;
};
