// The framework's 8-bit string, with printf-style formatting and string-table loading.
#pragma once

#include <string>
#include <string_view>

#include "platform/Types.h"

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(std::string_view sv) : m_str(sv) {}

    // Replaces the content with printf-formatted text; integer and string conversions only, since the
    // decimal point of floating conversions would follow the process locale.
    void Format(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

    // Replaces the content with string nID of the registered table; false (content unchanged) when absent.
    BOOL LoadString(UINT nID);

    bool IsEmpty() const { return m_str.empty(); }
    const char* GetString() const { return m_str.c_str(); }
    operator std::string_view() const { return m_str; }

    friend bool operator==(const CString&, const CString&) = default;

private:
    std::string m_str;
};
