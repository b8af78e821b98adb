// The records in a byte stream as a device server sees them: the runs of bytes before each NUL.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> SplitRecords(const std::string& bytes)
{
    std::vector<std::string> records;
    std::size_t nStart = 0;
    for (std::size_t nNul; (nNul = bytes.find('\0', nStart)) != std::string::npos; nStart = nNul + 1)
        records.push_back(bytes.substr(nStart, nNul - nStart));
    return records;
}
