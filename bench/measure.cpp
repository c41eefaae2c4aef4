// Runs a command and prints what it cost: wall seconds, CPU seconds (user and
// system), peak memory in KiB and its exit status, on one line to the file
// named first. The benchmark script starts commands through this small
// process rather than by itself, because the peak memory of a child counts
// the memory of the process that forked it.
//
// Usage: measure RESULT_FILE COMMAND [ARGUMENT]...
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: measure RESULT_FILE COMMAND [ARGUMENT]...\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror("measure");
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        std::perror("measure");
        return 2;
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::FILE *result = std::fopen(argv[1], "w");
    if (result == nullptr) {
        std::perror("measure");
        return 2;
    }
    std::fprintf(result, "%.4f %.4f %ld %d\n", wall.count(), cpu, usage.ru_maxrss,
                 WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    std::fclose(result);
    return 0;
}
