#include "tools/io/DescriptorLimit.h"

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

}  // namespace mimicbox::io
