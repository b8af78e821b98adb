// Host name resolution that keeps the message loop running while it waits.
#pragma once

#include <netinet/in.h>

#include "platform/SocketLoop.h"

// Looks up a dotted IPv4 address or a host name, waiting for the resolver. On failure returns false
// with nError, the resolver's EAI_ code (negative; gai_strerror names it).
bool LookUpIPv4(const char* pszHost, in_addr& address, int& nError);

// Resolves a dotted IPv4 address or a host name to an IPv4 address. On failure returns false with
// nError: the resolver's EAI_ code (negative), or ETIMEDOUT when the deadline passed.
bool ResolveIPv4(const char* pszHost, in_addr& address, int& nError, ISocketLoop& loop,
                 ISocketLoop::Deadline deadline);
