#include "tools/io/DescriptorLimit.h"

#include <algorithm>
#include <sys/resource.h>

namespace mimicbox::io {

bool RaiseDescriptorLimit(std::size_t needed, std::string& error)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed)
        return true;
    error = std::to_string(needed) + " descriptors are needed, but the limit is " + std::to_string(limit.rlim_cur) +
            " (raise it with ulimit -n, or run fewer devices per process with --shard)";
    return false;
}

std::size_t DescriptorRoom(std::size_t spare, std::size_t cap)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return cap;
    const std::size_t current = static_cast<std::size_t>(limit.rlim_cur);
    return current > spare ? std::min(current - spare, cap) : 0;
}

}  // namespace mimicbox::io
