#include "tools/report/VerdictGroups.h"

#include <algorithm>
#include <map>

namespace mimicbox::report {

std::vector<VerdictGroup> GroupVerdicts(const std::vector<sim::VerdictResult>& results, std::size_t listed)
{
    std::vector<VerdictGroup> groups;
    std::map<std::string, std::size_t> byName;
    for (const sim::VerdictResult& result : results) {
        const auto [found, added] = byName.try_emplace(result.name, groups.size());
        if (added)
            groups.push_back({result.name, 0, 0, {}});
        VerdictGroup& group = groups[found->second];
        if (result.passed) {
            ++group.held;
            continue;
        }
        ++group.failed;
        if (group.failures.size() < listed)
            group.failures.push_back({result.device, result.detail});
    }
    std::stable_sort(groups.begin(), groups.end(), [](const VerdictGroup& a, const VerdictGroup& b) {
        return a.failed > 0 && b.failed == 0;
    });
    return groups;
}

std::string VerdictTally(const std::vector<sim::VerdictResult>& results)
{
    if (results.empty())
        return "";
    const auto failed = static_cast<std::size_t>(
        std::count_if(results.begin(), results.end(), [](const sim::VerdictResult& result) { return !result.passed; }));
    return "expectations: " + std::to_string(results.size() - failed) + " held, " + std::to_string(failed) + " failed\n";
}

}  // namespace mimicbox::report
