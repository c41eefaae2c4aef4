#include "checkprocess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <QElapsedTimer>
#include <QFile>

extern char **environ;

namespace {

void CloseOnExec(int fd)
{
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// Reads what is ready without waiting; false at the end of the stream.
bool ReadReady(int fd, QByteArray &into)
{
    char buffer[8192];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0)
        into.append(buffer, got);
    return got > 0 || (got < 0 && (errno == EAGAIN || errno == EINTR));
}

} // namespace

CheckProcess::CheckProcess(const QList<QByteArray> &arguments, Setup setup)
    : m_readOut(!setup.leaveOutUnread)
{
    int slave = -1;
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 24;
    if (openpty(&m_terminalFd, &slave, nullptr, nullptr, &size) != 0)
        return;
    CloseOnExec(m_terminalFd);
    CloseOnExec(slave);
    int outPipe[2] = {-1, -1};
    if (!setup.outOnTerminal && pipe2(outPipe, O_CLOEXEC) != 0) {
        close(slave);
        return;
    }

    std::vector<QByteArray> storage{VANTREL_CHECK_PATH};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QList<QByteArray> environment = setup.environment;
    for (char **entry = environ; *entry != nullptr; ++entry)
        environment.append(*entry);
    std::vector<char *> envp;
    for (QByteArray &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, setup.outOnTerminal ? slave : outPipe[1],
                                     STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
    // The child starts with the default reaction to every signal the tests send.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGPIPE})
        sigaddset(&defaults, signal);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(slave);
    if (outPipe[1] >= 0)
        close(outPipe[1]);
    m_outFd = outPipe[0];
    fcntl(m_terminalFd, F_SETFL, O_NONBLOCK);
    if (m_outFd >= 0)
        fcntl(m_outFd, F_SETFL, O_NONBLOCK);
}

CheckProcess::~CheckProcess()
{
    if (m_pid > 0 && !m_status) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    for (int fd : {m_terminalFd, m_outFd}) {
        if (fd >= 0)
            close(fd);
    }
}

void CheckProcess::Pump(std::chrono::milliseconds slice)
{
    std::vector<pollfd> fds;
    if (m_terminalFd >= 0)
        fds.push_back({m_terminalFd, POLLIN, 0});
    if (m_outFd >= 0 && m_readOut)
        fds.push_back({m_outFd, POLLIN, 0});
    if (fds.empty()) {
        usleep(static_cast<useconds_t>(slice.count() * 1000));
        return;
    }
    if (poll(fds.data(), fds.size(), static_cast<int>(slice.count())) <= 0)
        return;
    for (const pollfd &ready : fds) {
        if (ready.revents == 0)
            continue;
        int &fd = ready.fd == m_terminalFd ? m_terminalFd : m_outFd;
        // A terminal whose other side is closed by everyone reads as an error.
        if (!ReadReady(fd, fd == m_terminalFd ? m_terminal : m_out)) {
            close(fd);
            fd = -1;
        }
    }
}

bool CheckProcess::Reap()
{
    if (m_status)
        return true;
    int status = 0;
    if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid)
        return false;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

bool CheckProcess::WaitForTerminal(const QByteArray &text, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_terminal.contains(text)) {
        if (clock.elapsed() > limit.count() || Reap())
            return m_terminal.contains(text);
        Pump(std::chrono::milliseconds(20));
    }
    return true;
}

bool CheckProcess::WaitForFullOutputPipe(std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    const int capacity = m_outFd >= 0 ? fcntl(m_outFd, F_GETPIPE_SZ) : -1;
    const QString wchan = QStringLiteral("/proc/%1/wchan").arg(m_pid);
    while (clock.elapsed() <= limit.count() && !Reap() && capacity > 0) {
        int queued = 0;
        ioctl(m_outFd, FIONREAD, &queued);
        QFile waitChannel(wchan);
        // Blocked in a write to the pipe, which holds most of what it can.
        if (queued >= capacity / 2 && waitChannel.open(QIODevice::ReadOnly) &&
            waitChannel.readAll().contains("pipe_write"))
            return true;
        Pump(std::chrono::milliseconds(20));
    }
    return false;
}

void CheckProcess::Signal(int signal)
{
    if (m_pid > 0 && !m_status)
        kill(m_pid, signal);
}

bool CheckProcess::WaitForSignalTaken(int signal, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    const QString statusPath = QStringLiteral("/proc/%1/status").arg(m_pid);
    const unsigned long long bit = 1ULL << (signal - 1);
    while (clock.elapsed() <= limit.count() && !Reap()) {
        QFile status(statusPath);
        if (!status.open(QIODevice::ReadOnly))
            return false;
        bool pending = false;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("SigPnd:") || line.startsWith("ShdPnd:"))
                pending = pending || (line.mid(7).trimmed().toULongLong(nullptr, 16) & bit) != 0;
        }
        if (!pending)
            return true;
        Pump(std::chrono::milliseconds(20));
    }
    return false;
}

std::optional<int> CheckProcess::WaitForExit(std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!Reap()) {
        if (clock.elapsed() > limit.count())
            return std::nullopt;
        Pump(std::chrono::milliseconds(20));
    }
    // Take what the process left in the terminal and the pipe.
    const bool readOut = m_readOut;
    m_readOut = true;
    for (int round = 0; round < 50 && (m_terminalFd >= 0 || m_outFd >= 0); ++round)
        Pump(std::chrono::milliseconds(20));
    m_readOut = readOut;
    return m_status;
}
