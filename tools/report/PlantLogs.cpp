#include "tools/report/PlantLogs.h"

#include <algorithm>

namespace mimicbox::report {

namespace {

bool SameRunTwice(const std::vector<LogSpan>& logs, std::string& error)
{
    for (std::size_t i = 0; i < logs.size(); ++i) {
        for (std::size_t j = i + 1; j < logs.size(); ++j) {
            const RunIdentity& a = logs[i].run;
            const RunIdentity& b = logs[j].run;
            if (a.run == b.run) {
                error = logs[i].path + " and " + logs[j].path + " are the same run (" + a.run + "): give each log once";
                return true;
            }
            if (a.shard == b.shard) {
                error = logs[i].path + " and " + logs[j].path + " are both shard " + a.ShardText() +
                        " of plant " + a.plant + ", from two runs: give one log of each shard";
                return true;
            }
        }
    }
    return false;
}

bool RanTogether(const std::vector<LogSpan>& logs, std::string& error)
{
    const auto latest = std::max_element(logs.begin(), logs.end(),
                                         [](const LogSpan& a, const LogSpan& b) { return a.startMillis < b.startMillis; });
    const auto first = std::min_element(logs.begin(), logs.end(),
                                        [](const LogSpan& a, const LogSpan& b) { return a.endMillis < b.endMillis; });
    if (latest->startMillis <= first->endMillis + kShardStartSlackMillis)
        return true;
    error = latest->path + " began " + std::to_string((latest->startMillis - first->endMillis) / 1000) +
            " s after " + first->path + " ended: shards of one plant run together, so these are two runs of it";
    return false;
}

}  // namespace

bool OnePlant(const std::vector<LogSpan>& logs, std::string& error, std::string& missing)
{
    missing.clear();
    if (logs.empty())
        return true;
    const RunIdentity& first = logs.front().run;
    for (const LogSpan& log : logs) {
        if (log.run.plant != first.plant) {
            error = logs.front().path + " is of plant " + first.plant + " and " + log.path + " of plant " +
                    log.run.plant + ": a report merges only the shards of one plant";
            return false;
        }
        if (log.run.shards != first.shards) {
            error = logs.front().path + " is one of " + std::to_string(first.shards) + " shards and " + log.path +
                    " one of " + std::to_string(log.run.shards) + ": not one plant";
            return false;
        }
    }
    if (SameRunTwice(logs, error) || !RanTogether(logs, error))
        return false;
    if (first.shards > logs.size()) {
        std::vector<bool> given(first.shards);
        for (const LogSpan& log : logs)
            given[log.run.shard] = true;
        for (std::size_t shard = 0; shard < first.shards && missing.size() < 200; ++shard)
            if (!given[shard])
                missing += (missing.empty() ? "" : ", ") + std::to_string(shard) + "/" + std::to_string(first.shards);
    }
    return true;
}

std::string CoveredRuns(const std::vector<LogSpan>& logs)
{
    if (logs.size() == 1) {
        const RunIdentity& run = logs.front().run;
        return "run " + run.run + (run.shards > 1 ? ", shard " + run.ShardText() + " of plant " + run.plant : "");
    }
    return "plant " + logs.front().run.plant + ", " + std::to_string(logs.size()) + " of its " +
           std::to_string(logs.front().run.shards) + " shards";
}

}  // namespace mimicbox::report
