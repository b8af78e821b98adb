// Feeds arbitrary logs to `mimicbox-cli report`, past the line reader into the HTML writer: the input
// is a log's events after its run line. Oracle: the report is written or refused with a reason, and
// no text from the log ever stands in the page unescaped: the page holds exactly the script elements
// of its template, whatever names, reasons and records the log carries.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

#include "tools/cli/ReportCommand.h"

namespace {

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

std::string Read(const std::string& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

const std::string kRunLine =
    R"({"t":0,"time":"2026-12-08T15:15:24.174Z","event":"run","run":"fuzz","plant":"fuzz","shard":"0/1"})" "\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox;
    static const std::string folder = "/dev/shm/mimicbox-report-fuzz-" + std::to_string(::getpid());
    static const std::string log = folder + ".jsonl";
    static const std::string page = folder + ".html";
    // What the template alone holds, from a log with one event.
    static const std::size_t kScripts = [] {
        std::ofstream(log) << kRunLine << R"({"t":1,"time":"2026-12-08T15:15:25.174Z","device":"thermo:1","event":"connected"})" "\n";
        cli::ReportOptions options{{log}, page, "", "report"};
        cli::RunReportCommand(options);
        return Count(Read(page), "<script");
    }();
    std::ofstream(log, std::ios::binary) << kRunLine << std::string(reinterpret_cast<const char*>(data), size);
    std::remove(page.c_str());
    cli::ReportOptions options{{log}, page, "", "report"};
    const int status = cli::RunReportCommand(options);
    if (status != 0 && status != 2)
        __builtin_trap();
    if (status != 0)
        return 0;
    const std::string html = Read(page);
    if (Count(html, "<script") != kScripts || Count(html, "</script") != kScripts || html.find("<!--") != std::string::npos)
        __builtin_trap();
    return 0;
}
