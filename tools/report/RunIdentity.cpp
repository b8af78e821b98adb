#include "tools/report/RunIdentity.h"

#include <algorithm>
#include <cctype>

#include "tools/report/JsonLinesSink.h"

namespace mimicbox::report {

std::string RunLine(const RunIdentity& identity, int64_t startMillis)
{
    // Every field is of the restricted alphabets below, so no escape is needed.
    return R"({"t":0,"time":")" + IsoTime(startMillis) + R"(","event":"run","run":")" + identity.run +
           R"(","plant":")" + identity.plant + R"(","shard":")" + identity.ShardText() + "\"}";
}

bool IsPlantId(const std::string& text)
{
    return !text.empty() && text.size() <= 64 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

}  // namespace mimicbox::report
