#include "pathcheck.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/longpath.h"
#include "platform/uniquefd.h"

bool CanOpenChosenFile(const QByteArray &path)
{
    if (path.isEmpty())
        return false;
    // Non-blocking, so that naming a FIFO does not hang the check.
    const UniqueFd fd(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
    struct stat info
    {};
    return fd.IsValid() && fstat(fd.Get(), &info) == 0 && !S_ISDIR(info.st_mode);
}
