#include "joblimits.h"

#include <algorithm>
#include <sys/resource.h>

namespace {

// Beyond this a limit says nothing more: no run needs more probes at once.
constexpr long long kHighestCeiling = 10000;

} // namespace

int JobCeilingFor(long long openFileLimit)
{
    const long long ceiling = (openFileLimit - kReservedDescriptors) / 2;
    return static_cast<int>(std::clamp<long long>(ceiling, 1, kHighestCeiling));
}

int JobCeiling()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return JobCeilingFor(kHighestCeiling * 2 + kReservedDescriptors);
    return JobCeilingFor(static_cast<long long>(limit.rlim_cur));
}
