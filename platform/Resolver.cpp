#include "platform/Resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <thread>

namespace {

// Shared by the waiting caller and the resolving thread; whichever finishes last frees it.
struct Lookup {
    std::string strHost;
    int efd = -1;
    in_addr address{};
    int nError = 0;

    ~Lookup()
    {
        if (efd >= 0)
            ::close(efd);
    }
};

void Resolve(const std::shared_ptr<Lookup>& pLookup)
{
    LookUpIPv4(pLookup->strHost.c_str(), pLookup->address, pLookup->nError);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(pLookup->efd, &one, sizeof one);
}

}  // namespace

bool LookUpIPv4(const char* pszHost, in_addr& address, int& nError)
{
    nError = 0;
    if (::inet_pton(AF_INET, pszHost, &address) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pResult = nullptr;
    nError = ::getaddrinfo(pszHost, nullptr, &hints, &pResult);
    if (nError != 0)
        return false;
    address = reinterpret_cast<const sockaddr_in*>(pResult->ai_addr)->sin_addr;
    ::freeaddrinfo(pResult);
    return true;
}

bool ResolveIPv4(const char* pszHost, in_addr& address, int& nError, ISocketLoop& loop,
                 ISocketLoop::Deadline deadline)
{
    if (::inet_pton(AF_INET, pszHost, &address) == 1)
        return true;
    auto pLookup = std::make_shared<Lookup>();
    pLookup->strHost = pszHost;
    pLookup->efd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (pLookup->efd < 0) {
        nError = errno;
        return false;
    }
    std::thread(Resolve, pLookup).detach();
    if (!loop.WaitForSocket(pLookup->efd, false, deadline)) {
        nError = ETIMEDOUT;
        return false;
    }
    nError = pLookup->nError;
    if (nError != 0)
        return false;
    address = pLookup->address;
    return true;
}
