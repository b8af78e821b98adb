#include "tools/report/JUnit.h"

#include <algorithm>
#include <cstdio>

#include "tools/report/VerdictGroups.h"

namespace mimicbox::report {

namespace {

// Text and attribute values: markup characters escaped, and bytes XML 1.0 cannot hold dropped.
std::string Escape(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string JUnitXml(const std::vector<sim::VerdictResult>& results, const std::string& suite, double seconds)
{
    const auto failures = std::count_if(results.begin(), results.end(), [](const auto& r) { return !r.passed; });
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites tests=\"" + std::to_string(results.size()) +
                      "\" failures=\"" + std::to_string(failures) + "\" time=\"" + time + "\">\n";
    xml += "  <testsuite name=\"" + Escape(suite) + "\" tests=\"" + std::to_string(results.size()) + "\" failures=\"" +
           std::to_string(failures) + "\" errors=\"0\" skipped=\"0\" time=\"" + time + "\">\n";
    for (const sim::VerdictResult& result : results) {
        xml += "    <testcase classname=\"" + Escape(result.device) + "\" name=\"" + Escape(result.name) + "\"";
        if (result.passed) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n      <failure message=\"" + Escape(result.detail) + "\"/>\n    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

std::string VerdictLines(const std::vector<sim::VerdictResult>& results, bool passes)
{
    std::string lines;
    for (const sim::VerdictResult& result : results)
        if (passes || !result.passed)
            lines += "expect " + result.device + " " + result.name + ": " + (result.passed ? "passed" : "FAILED") + " (" +
                     result.detail + ")\n";
    return lines + VerdictTally(results);
}

}  // namespace mimicbox::report
