#include "cfile.h"

#include <unistd.h>

UniqueCFile StreamFromDescriptor(int fd, const char *mode)
{
    if (fd < 0)
        return nullptr;
    std::FILE *file = fdopen(fd, mode);
    if (file == nullptr)
        close(fd);
    return UniqueCFile(file);
}
