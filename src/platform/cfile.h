#pragma once

#include <cstdio>
#include <memory>

// A buffered C stream that closes itself.
struct CFileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using UniqueCFile = std::unique_ptr<std::FILE, CFileCloser>;

// Wraps a descriptor in a stream (closing the descriptor if that fails).
UniqueCFile StreamFromDescriptor(int fd, const char *mode);
