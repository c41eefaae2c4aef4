#pragma once

#include <csignal>
#include <sys/resource.h>

// Lets files grow to a few bytes only while it lives, so that a write stops
// half-way as on a full disk (the signal that would end the process is
// ignored; the write fails instead).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_previous); }

    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool IsActive() const { return m_active; }

private:
    rlimit m_previous{};
    bool m_active = false;
};
