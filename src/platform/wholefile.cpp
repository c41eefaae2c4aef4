#include "wholefile.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

bool ReadWholeFile(int fd, QByteArray &bytes, qint64 limit)
{
    bytes.clear();
    struct stat info
    {};
    if (fstat(fd, &info) == 0 && info.st_size > limit) {
        errno = EFBIG;
        return false;
    }
    if (lseek(fd, 0, SEEK_SET) != 0 && errno != ESPIPE)
        return false;
    bytes.reserve(static_cast<qsizetype>(info.st_size));
    char block[65536];
    for (;;) {
        const ssize_t got = read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (bytes.size() + got > limit) {
            errno = EFBIG;
            return false;
        }
        bytes.append(block, got);
    }
}
