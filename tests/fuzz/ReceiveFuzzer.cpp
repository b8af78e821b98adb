// Feeds arbitrary bytes to the incoming path as the socket would: reads of at most 4095 bytes, each
// followed by a NUL. The first input byte picks the model, so that toggles are exercised for both.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "link/IncomingRecords.h"
#include "link/Record.h"
#include "platform/fake/FakeWindowSystem.h"
#include "ui/MimicboxDlg.h"
#include "ui/res/Resource.h"
#include "ui/res/Resources.h"

namespace {

struct Harness {
    Harness()
    {
        AfxSetResources(&MimicboxResources());
        pHost = system.Open(dlg);
    }
    CMimicboxDlg dlg;
    FakeWindowSystem system;
    FakeWindowHost* pHost = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static Harness harness;
    if (nSize == 0)
        return 0;
    harness.pHost->ChooseEntry(IDC_TYPE, pData[0] & 1);
    ++pData;
    --nSize;

    mimicbox::RecordHeader header;
    mimicbox::ParseHeader(std::string_view(reinterpret_cast<const char*>(pData), nSize), header);

    char buffer[mimicbox::RECEIVE_BUFFER_SIZE];
    while (nSize > 0) {
        const size_t nChunk = nSize < sizeof buffer - 1 ? nSize : sizeof buffer - 1;
        std::memcpy(buffer, pData, nChunk);
        buffer[nChunk] = '\0';
        harness.dlg.OnReceiveData(buffer, static_cast<int>(nChunk));
        const int nState = harness.dlg.SwitchState();
        if (nState != 0 && nState != 1)
            __builtin_trap();
        pData += nChunk;
        nSize -= nChunk;
    }
    return 0;
}
