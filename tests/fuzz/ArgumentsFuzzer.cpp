// Feeds arbitrary command lines to both programs and every subcommand: the arguments are the input's
// parts between NUL bytes, the first part naming which program. Whatever they hold, each parse
// either succeeds or says why; files named are only read if they are regular files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/CliOptions.h"
#include "tools/cli/ImportCommand.h"
#include "tools/cli/RecordCommand.h"
#include "tools/cli/ReportCommand.h"
#include "tools/server/ServerOptions.h"

namespace {

template <typename Options>
void Parse(bool (*parse)(int, const char* const*, Options&, std::string&), const std::vector<const char*>& argv)
{
    Options options;
    std::string error;
    if (!parse(static_cast<int>(argv.size()), argv.data(), options, error) && error.empty())
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox;
    if (size == 0)
        return 0;
    std::vector<std::string> words(1);
    for (size_t i = 1; i < size && words.size() < 64; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    switch (data[0] % 5) {
    case 0: Parse(cli::ParseCliOptions, argv); break;
    case 1: Parse(server::ParseServerOptions, argv); break;
    case 2: Parse(cli::ParseReportOptions, argv); break;
    case 3: Parse(cli::ParseRecordOptions, argv); break;
    default: Parse(cli::ParseImportOptions, argv); break;
    }
    return 0;
}
