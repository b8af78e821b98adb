// Feeds arbitrary bytes to the reference server's side of a connection: the record framer as reads
// could split them, and every record through the decoder and its line of text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/io/RecordFramer.h"
#include "tools/report/RecordDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 128;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    mimicbox::io::RecordFramer framer(256);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        framer.Feed(
            bytes.substr(at, piece),
            [](std::string_view record) {
                const mimicbox::report::RecordCheck check = mimicbox::report::CheckRecord(record);
                if (!check.readable && !check.problem)
                    __builtin_trap();
                if (mimicbox::report::DescribeRecord(record, check).empty())
                    __builtin_trap();
            },
            [](std::size_t dropped) {
                if (dropped <= 256)
                    __builtin_trap();
            });
    }
    return 0;
}
