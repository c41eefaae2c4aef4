#pragma once

#include <chrono>
#include <optional>

#include <QByteArray>
#include <QList>
#include <sys/types.h>

// The built vantrel-check, started with its standard error on a
// pseudo-terminal (and its standard output too, when asked; else on a pipe).
// The test reads both as they come, signals the process and waits for its end.
class CheckProcess
{
public:
    struct Setup
    {
        // Standard output on the terminal rather than on a pipe.
        bool outOnTerminal = false;
        // Leave the output pipe unread, so that it fills and the writer blocks.
        bool leaveOutUnread = false;
        // Extra environment entries, "NAME=value".
        QList<QByteArray> environment;
    };

    explicit CheckProcess(const QList<QByteArray> &arguments, Setup setup);
    ~CheckProcess();

    CheckProcess(const CheckProcess &) = delete;
    CheckProcess &operator=(const CheckProcess &) = delete;

    bool Started() const { return m_pid > 0; }
    // Reads until the terminal has shown text; false if the process ended or
    // the time ran out first.
    bool WaitForTerminal(const QByteArray &text,
                         std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Waits until the unread output pipe is full, so the next write blocks.
    bool WaitForFullOutputPipe(std::chrono::milliseconds limit = std::chrono::seconds(20));
    void Signal(int signal);
    // Waits until the signal is no longer pending for the process: a handler
    // took it. False if it stays pending (blocked) until the time is up.
    bool WaitForSignalTaken(int signal, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // The exit status once the process has ended (128 + the signal when a
    // signal ended it); nothing if it still runs when the time is up.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(10));

    const QByteArray &Terminal() const { return m_terminal; }
    const QByteArray &Out() const { return m_out; }

private:
    // Reads whatever is ready within the slice; false once nothing more can come.
    void Pump(std::chrono::milliseconds slice);
    bool Reap();

    pid_t m_pid = -1;
    int m_terminalFd = -1;
    int m_outFd = -1;
    bool m_readOut = true;
    std::optional<int> m_status;
    QByteArray m_terminal;
    QByteArray m_out;
};
