// Feeds arbitrary text to the scenario loader, as a user's file could hold it: whatever the bytes,
// it must end with a scenario or a message, never a crash, a hang or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/scenario/Scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    mimicbox::sim::ScenarioPlan scenario;
    std::string error;
    // CSV files are looked up in a folder that does not exist, so that only the text is under test.
    const bool loaded = mimicbox::scenario::ParseScenario(std::string_view(reinterpret_cast<const char*>(data), size),
                                                          "fuzz.toml", "/nonexistent", scenario, error);
    if (!loaded && error.empty())
        __builtin_trap();
    return 0;
}
