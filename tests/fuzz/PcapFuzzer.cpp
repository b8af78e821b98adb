// Feeds arbitrary bytes to the packet-capture import as a file: an import or a message, never a
// crash, whatever libpcap and libtins are handed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "tools/capture/PcapImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/mimicbox-pcap-fuzz-" + std::to_string(::getpid()) + ".pcap";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    mimicbox::capture::ImportResult result;
    std::string error;
    if (!mimicbox::capture::ImportPcap(path, 54741, result, error) && error.empty())
        __builtin_trap();
    return 0;
}
