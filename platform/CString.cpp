#include "platform/CString.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Resources.h"

void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    if (n < 0) {
        m_str.clear();
    } else {
        std::string text(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), pszFormat, args);
        text.resize(static_cast<std::size_t>(n));
        m_str = std::move(text);
    }
    va_end(args);
}

BOOL CString::LoadString(UINT nID)
{
    std::string text;
    if (!AfxLoadString(nID, text))
        return FALSE;
    m_str = std::move(text);
    return TRUE;
}
