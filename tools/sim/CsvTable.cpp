#include "tools/sim/CsvTable.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace mimicbox::sim {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool ParseNumber(std::string_view text, double& value)
{
    text = Trim(text);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size() && std::isfinite(value);
}

bool ParseRow(std::string_view line, TablePoint& point)
{
    const std::size_t comma = line.find(',');
    return comma != std::string_view::npos && ParseNumber(line.substr(0, comma), point.seconds) &&
           ParseNumber(line.substr(comma + 1), point.value);
}

}  // namespace

bool ParseCsvTable(std::string_view text, std::vector<TablePoint>& points, std::string& error)
{
    points.clear();
    int number = 0;
    bool headerAllowed = true;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.empty() || line.front() == '#')
            continue;
        TablePoint point;
        const bool first = std::exchange(headerAllowed, false);
        if (!ParseRow(line, point)) {
            if (first)
                continue;
            error = "line " + std::to_string(number) + ": not two numbers 'seconds,value'";
            return false;
        }
        if (point.seconds < 0 || (!points.empty() && point.seconds <= points.back().seconds)) {
            error = "line " + std::to_string(number) + ": seconds must start from 0 or later and rise";
            return false;
        }
        points.push_back(point);
    }
    if (points.empty()) {
        error = "no rows";
        return false;
    }
    return true;
}

}  // namespace mimicbox::sim
