#include "platform/WindowSystem.h"

#include <ctime>

namespace {

IWindowSystem* g_pSystem = nullptr;

}  // namespace

IWindowSystem* AfxGetWindowSystem() { return g_pSystem; }

void AfxSetWindowSystem(IWindowSystem* pSystem) { g_pSystem = pSystem; }

int64_t AfxTime64()
{
    if (!g_pSystem)
        return static_cast<int64_t>(std::time(nullptr));
    return g_pSystem->Clock().CalendarSeconds();
}

const char* AfxGetAppName() { return "Mimicbox"; }
